#pragma once
// The time zone of this process, and of the programs it starts, for a test's length. A POSIX
// zone text ("CET-1CEST,M3.5.0,M10.5.0/3") needs no zone database on the machine.

#include <cstdlib>
#include <ctime>
#include <optional>
#include <string>

class TimeZone {
  public:
    explicit TimeZone(const char* zone) {
        if (const char* old = std::getenv("TZ"))
            old_ = old;
        setenv("TZ", zone, 1);
        tzset();
    }
    ~TimeZone() {
        if (old_)
            setenv("TZ", old_->c_str(), 1);
        else
            unsetenv("TZ");
        tzset();
    }
    TimeZone(const TimeZone&) = delete;
    TimeZone& operator=(const TimeZone&) = delete;

  private:
    std::optional<std::string> old_;
};

// Central Europe: an hour east of UTC in winter, two in summer.
inline constexpr const char* kCentralEurope = "CET-1CEST,M3.5.0,M10.5.0/3";
