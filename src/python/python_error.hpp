// A Python exception carried through C++ code as a C++ exception.
#pragma once

#include <exception>
#include <optional>
#include <string>

#include "python/pyref.hpp"

namespace tarnex::py {

// It holds the exception instance only: its class and traceback are read from it.
class PythonError : public std::exception {
public:
    explicit PythonError(Ref exception) noexcept : exception_(std::move(exception)) {}

    // Takes the interpreter's current exception, normalised to an instance carrying its
    // traceback. With none set this is a SystemError.
    static PythonError fetch();

    const char* what() const noexcept override { return "Python exception"; }
    PyObject* type() const noexcept {
        return reinterpret_cast<PyObject*>(Py_TYPE(exception_.get()));
    }
    PyObject* value() const noexcept { return exception_.get(); }

    // Makes this the interpreter's current exception again.
    void restore() const noexcept;

private:
    Ref exception_;
};

// What the binding does with the error of Python code it ran (a conversion calling a
// user's __float__, __index__, __len__, __iter__ or __bool__): a PanicException of the
// module's own class that escaped from that code is not an ordinary error but a native
// failure coming back, so it is printed by the interpreter, with two lines saying so before
// it, and the call is abandoned as a core failure with its message. Any other error (every
// error, in a module that raises another module's class) is returned unchanged.
PythonError resume_if_panic(PythonError error);

// The error of a failed interpreter call: resume_if_panic(PythonError::fetch()), thrown.
[[noreturn]] void throw_python_error();

// Sets `type(message)` and throws it. `message` is UTF-8; every character of it is kept,
// NUL included.
[[noreturn]] void raise(PyObject* type, const std::string& message);

// A new str holding the UTF-8 text `text` (invalid bytes, which the helpers below never
// produce, become U+FFFD); throws the interpreter's error if it cannot be made.
Ref new_text(const std::string& text);

// Returns `obj`, or throws the current exception when it is null (the result of a failed
// interpreter call).
inline PyObject* check(PyObject* obj) {
    if (obj == nullptr) throw_python_error();
    return obj;
}

// The characters of the str object `text` as UTF-8, for a message. Lone surrogates have no
// UTF-8 form: the text is encoded keeping them ("surrogatepass") and each maximal run of
// bytes that is not valid UTF-8 is replaced by U+FFFD, so one lone surrogate shows as
// three replacement characters. Nothing (and no exception set) only when the interpreter
// cannot do that, such as when memory runs out.
std::optional<std::string> utf8_text(PyObject* text);

// str(obj) as UTF-8, as utf8_text makes it; nothing (and no exception set) when str() fails.
std::optional<std::string> to_utf8(PyObject* obj);

}  // namespace tarnex::py
