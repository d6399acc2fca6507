#pragma once
// The command line's --log: one file for the whole command, every exchange's bytes in both
// directions, time-stamped. The window keeps the link's own log; this one outlives the opens.

#include <string>

class TrafficLog {
  public:
    TrafficLog() = default;
    ~TrafficLog();
    TrafficLog(const TrafficLog&) = delete;
    TrafficLog& operator=(const TrafficLog&) = delete;

    // Creates or empties the file. Only a regular file is taken: a FIFO without a reader would
    // hang the open, a device such as /dev/full would swallow the log. False with the reason.
    bool Open(const std::string& path, std::string& problem);
    bool IsOpen() const { return fd_ >= 0; }

    // Bytes sent ('w') or received ('r'); runs of one direction share a line.
    void Traffic(char direction, const std::string& bytes);
    // A line of its own: "open COM9", "close".
    void Note(const std::string& text);
    // Writes what is pending; false, with the first error in Problem(), when anything failed.
    bool Finish();
    const std::string& Problem() const { return problem_; }

  private:
    void Flush();
    void WriteLine(const std::string& text);

    int fd_ = -1;
    std::string path_;
    char direction_ = 0;
    std::string pending_;
    std::string stamp_;
    std::string problem_;
};

// Local date and time to the millisecond: "2026-12-08 10:18:20.125" (separator ' ') or
// "2026-12-08T10:18:20.125" ('T').
std::string LocalTimeWithMilliseconds(char separator);
