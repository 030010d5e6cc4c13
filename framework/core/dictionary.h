#pragma once

#include "framework/core/auto.h"
#include "framework/core/object.h"

#include <cstddef>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

namespace fw {

/// Keys and values of any kind, kept in the order of insertion.
class Dictionary : public Object {
public:
    bool HasKey(const Auto& key) const;
    /// The value under key; raises KeyNotFoundException when there is none.
    const Auto& Value(const Auto& key) const;
    /// Stores value under key, replacing an earlier value in its place.
    void Value(const Auto& key, Auto value);
    void Remove(const Auto& key);
    std::size_t KeyCount() const { return entries_.size(); }
    const std::vector<std::pair<Auto, Auto>>& Entries() const { return entries_; }

private:
    static std::string IndexKey(const Auto& key);

    std::vector<std::pair<Auto, Auto>> entries_;
    std::unordered_map<std::string, std::size_t> index_;
};

} // namespace fw
