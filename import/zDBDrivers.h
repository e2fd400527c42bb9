// Database connections and the log that every connection and every script generation writes.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "zNamedObject.h"

namespace ardvin {

class TVELLogger;

// Receives each logged line: sender, level (TVELMessageLevel), text, the object it concerns.
using TVELLogEvent = std::function<void(TVELLogger* sender, int level, const std::string& text, TVELNamedObject* object)>;

class TVELLogger {
public:
    // Bit 1: "Error : " before error lines. Bit 2 (value 4): the object's name and " : " before
    // the other lines that concern an object.
    static constexpr uint8_t flErrorPrefix = 1;
    static constexpr uint8_t flObjectPrefix = 4;

    virtual ~TVELLogger() = default;

    std::vector<std::string> Lines;
    int ErrorCount = 0;
    // When false, an error-level line ends the operation: Log throws EVELError with its text.
    bool ContinueOnError = true;
    bool Collect = true;  // lines are kept only when set
    uint8_t Flags = flErrorPrefix | flObjectPrefix;
    TVELLogEvent OnLog;

    virtual void Log(int level, const std::string& text, TVELNamedObject* object = nullptr);
    void Clear();
    // Writes Lines to FOLDER/NAME_yyyymmdd.txt (today's local date) and returns that path.
    std::string SaveLog(const std::string& folder, const std::string& name) const;
};

}  // namespace ardvin
