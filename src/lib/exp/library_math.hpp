// The C library's exp and log as the running C library defines them now.
//
// A module linked against an older C library (the release wheel targets glibc 2.17) binds
// the versions of exp and log that glibc keeps for old programs. Their results differ from
// the current versions' where an error is reported: the old log of a negative number is
// +NaN, the current one the invalid operation's NaN (-NaN on x86), and the interpreter's
// own math and every program linked today use the current ones. So these are looked up by
// version at first use, falling back to the linked function where the library has no newer
// version.
#pragma once

namespace tarnex {

using MathFunction = double (*)(double) noexcept;

MathFunction library_exp() noexcept;
MathFunction library_log() noexcept;

}  // namespace tarnex
