#pragma once

#include <stdexcept>
#include <string>

namespace kanvio {

// Base of the errors the program raises to its callers. The message always names the
// file (and the position where one is known), so a message box can show it unchanged.
class EKanvioError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Reading or writing a file failed (settings file, store, ZF file, still image).
class EInOutError : public EKanvioError {
public:
    EInOutError(const std::string& fileName, const std::string& problem)
        : EKanvioError(fileName + ": " + problem), fileName_(fileName) {}
    const std::string& fileName() const { return fileName_; }

private:
    std::string fileName_;
};

// The registry store could not create a key or set a value, or a value had the wrong type.
class ERegistryError : public EKanvioError {
public:
    using EKanvioError::EKanvioError;
};

// Data that cannot be read: an unreadable record, a text that is no number or time.
class EConvertError : public EKanvioError {
public:
    using EKanvioError::EKanvioError;
};

// A value outside the range an operation accepts.
class ERangeError : public EKanvioError {
public:
    using EKanvioError::EKanvioError;
};

} // namespace kanvio
