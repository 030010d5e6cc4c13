#pragma once

#include <exception>
#include <string>
#include <utility>

namespace fw {

/// Base of every exception the framework raises; what an unhandled-exception report names.
class RuntimeException : public std::exception {
public:
    explicit RuntimeException(std::string message = {});
    const char* what() const noexcept override;
    const std::string& Message() const { return message_; }
    /// The class name shown in reports, e.g. "NilObjectException".
    virtual const char* TypeName() const { return "RuntimeException"; }

private:
    std::string message_;
};

// NOLINTBEGIN(bugprone-macro-parentheses): Name is a class name, which takes no parentheses
#define FW_DECLARE_EXCEPTION(Name, DefaultMessage)                                                 \
    class Name : public RuntimeException {                                                         \
    public:                                                                                        \
        explicit Name(std::string message = (DefaultMessage))                                      \
            : RuntimeException(std::move(message)) {}                                              \
        const char* TypeName() const override { return #Name; }                                    \
    }
// NOLINTEND(bugprone-macro-parentheses)

/// A Nil reference was used.
FW_DECLARE_EXCEPTION(NilObjectException, "A Nil object was used");
/// Text handed to ParseJSON is not JSON.
FW_DECLARE_EXCEPTION(InvalidJSONException, "The text is not valid JSON");
/// A file or folder operation failed.
FW_DECLARE_EXCEPTION(IOException, "A file operation failed");
/// A value could not be converted to the kind asked for.
FW_DECLARE_EXCEPTION(TypeMismatchException, "Type mismatch");
/// An object is not of the class a verifying cast asked for.
FW_DECLARE_EXCEPTION(IllegalCastException, "Illegal cast");
/// A dictionary was asked for a key it does not hold.
FW_DECLARE_EXCEPTION(KeyNotFoundException, "Key not found");
/// An index or a read went past the end.
FW_DECLARE_EXCEPTION(OutOfBoundsException, "Out of bounds");
/// An argument is not acceptable (a malformed property list, an unknown property).
FW_DECLARE_EXCEPTION(InvalidArgumentException, "Invalid argument");
/// A user-interface object was used from a thread other than the main thread.
FW_DECLARE_EXCEPTION(ThreadAccessingUIException, "User interface used from another thread");

#undef FW_DECLARE_EXCEPTION

} // namespace fw
