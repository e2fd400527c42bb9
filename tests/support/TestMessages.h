// Collecting the messages of checks as "Level: text" lines, for the model tests.
#pragma once

#include <string>
#include <vector>

#include "zNamedObject.h"

namespace ardvin::test {

// A message callback that appends "Level: text" to the given list.
inline TVELMessageCallback MessageCollector(std::vector<std::string>& messages) {
    return [&messages](TVELNamedObject*, int level, const std::string& text) {
        messages.push_back(MessageLevelName(level) + ": " + text);
    };
}

// The messages of one object's Validate with repairs on.
inline std::vector<std::string> ValidationMessages(TVELNamedObject& object) {
    std::vector<std::string> messages;
    object.Validate(true, MessageCollector(messages));
    return messages;
}

} // namespace ardvin::test
