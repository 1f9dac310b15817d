// The process's time zone for tests, on every C library: TZ is set and the library told to
// read it again. The Windows C library reads only the three-letter form "NAMEoffset[DST]"
// (for example CST-8, UTC0, EST5EDT, with the daylight-saving rules of the United States);
// a zone written in the POSIX rule form or as a zone name is UTC there.
#pragma once

#include <cstdlib>
#include <ctime>
#include <optional>
#include <string>

namespace tessavo::test {

// Sets TZ (unsets it for nullptr) and re-reads it.
inline void SetTimeZone(const char* tz) {
#if defined(_WIN32)
    _putenv_s("TZ", tz != nullptr ? tz : "");
    _tzset();
#else
    if (tz != nullptr) {
        setenv("TZ", tz, 1);
    } else {
        unsetenv("TZ");
    }
    tzset();
#endif
}

// A zone for the length of a scope; the previous TZ comes back after it.
class ScopedTimeZone {
  public:
    explicit ScopedTimeZone(const char* tz) {
        if (const char* old = std::getenv("TZ")) previous_ = old;
        SetTimeZone(tz);
    }
    ~ScopedTimeZone() { SetTimeZone(previous_ ? previous_->c_str() : nullptr); }
    ScopedTimeZone(const ScopedTimeZone&) = delete;
    ScopedTimeZone& operator=(const ScopedTimeZone&) = delete;

  private:
    std::optional<std::string> previous_;
};

}  // namespace tessavo::test
