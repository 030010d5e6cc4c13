#include "framework/core/dictionary.h"

#include <cstdint>
#include <cstring>

namespace fw {

namespace {

template <class T> std::string rawBytes(char kind, const T& value) {
    std::string key(1 + sizeof(T), kind);
    std::memcpy(key.data() + 1, &value, sizeof(T));
    return key;
}

// One index key per distinct Auto: text and strings share the 's' kind so that the same bytes
// find the same entry whichever of the two was used.
struct IndexKeyOf {
    std::string operator()(std::monostate) const { return "n"; }
    std::string operator()(bool b) const { return b ? "b1" : "b0"; }
    std::string operator()(std::int64_t i) const { return rawBytes('i', i); }
    std::string operator()(double d) const {
        // 0.0 and -0.0 compare equal, so they must be one key.
        return rawBytes('d', d == 0.0 ? 0.0 : d);
    }
    std::string operator()(const Text& t) const { return "s" + t.Utf8(); }
    std::string operator()(const String& s) const { return "s" + s.Bytes(); }
    std::string operator()(const std::shared_ptr<Dictionary>& p) const {
        return rawBytes('D', reinterpret_cast<std::uintptr_t>(p.get()));
    }
    std::string operator()(const std::shared_ptr<AutoArray>& p) const {
        return rawBytes('A', reinterpret_cast<std::uintptr_t>(p.get()));
    }
    std::string operator()(const std::shared_ptr<Object>& p) const {
        return rawBytes('O', reinterpret_cast<std::uintptr_t>(p.get()));
    }
};

} // namespace

std::string Dictionary::IndexKey(const Auto& key) {
    if (key.IsNil()) {
        return "n";
    }
    return std::visit(IndexKeyOf{}, key.Raw());
}

bool Dictionary::HasKey(const Auto& key) const {
    return index_.contains(IndexKey(key));
}

const Auto& Dictionary::Value(const Auto& key) const {
    const auto found = index_.find(IndexKey(key));
    if (found == index_.end()) {
        throw KeyNotFoundException();
    }
    return entries_[found->second].second;
}

void Dictionary::Value(const Auto& key, Auto value) {
    const auto [slot, added] = index_.try_emplace(IndexKey(key), entries_.size());
    if (added) {
        entries_.emplace_back(key, std::move(value));
    } else {
        entries_[slot->second].second = std::move(value);
    }
}

void Dictionary::Remove(const Auto& key) {
    const auto found = index_.find(IndexKey(key));
    if (found == index_.end()) {
        throw KeyNotFoundException();
    }
    const std::size_t removed = found->second;
    index_.erase(found);
    entries_.erase(entries_.begin() + static_cast<std::ptrdiff_t>(removed));
    // Later entries moved down one place; their index entries follow.
    for (std::size_t i = removed; i < entries_.size(); ++i) {
        index_[IndexKey(entries_[i].first)] = i;
    }
}

} // namespace fw
