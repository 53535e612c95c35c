// Points the self-check logs at a fresh private directory for one test.
#pragma once

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "cells/diagnostics.h"

namespace kiln::testing_logs {

class PrivateLogs {
public:
    PrivateLogs() {
        char name[] = "/tmp/kiln-logs-XXXXXX";
        if (char* made = ::mkdtemp(name)) dir_ = made;
        if (const char* old = std::getenv("KILN_LOG_DIR")) old_ = old, hadOld_ = true;
        ::setenv("KILN_LOG_DIR", dir_.c_str(), 1);
        closeLogs();
    }
    ~PrivateLogs() {
        closeLogs();
        if (hadOld_)
            ::setenv("KILN_LOG_DIR", old_.c_str(), 1);
        else
            ::unsetenv("KILN_LOG_DIR");
        std::error_code ignored;
        if (!dir_.empty()) std::filesystem::remove_all(dir_, ignored);
    }
    PrivateLogs(const PrivateLogs&) = delete;
    PrivateLogs& operator=(const PrivateLogs&) = delete;

    bool ready() const { return !dir_.empty(); }
    const std::string& dir() const { return dir_; }
    // The whole content of the log that `path` names ("" when there is none).
    std::string read(const std::string& path) const {
        std::ifstream in(logLocation(path), std::ios::binary);
        std::stringstream s;
        s << in.rdbuf();
        return s.str();
    }

private:
    std::string dir_, old_;
    bool hadOld_ = false;
};

}  // namespace kiln::testing_logs
