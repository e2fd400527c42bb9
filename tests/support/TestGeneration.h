// Create and drop scripts of a model, made as the generate command makes them.
#pragma once

#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "FullFeatureModel.h"

namespace ardvin {
class TVELDataDictionary;
}

namespace ardvin::test {

struct TGenerated {
    std::unique_ptr<TVELDataDictionary> Model;  // the prepared copy
    std::string CreateScript;
    std::string DropScript;
};

using TOptions = std::vector<std::pair<std::string, std::string>>;

// Prepares a copy of the model for generation as the generate command does (with the options
// its target needs and the given ones) and writes its create and drop scripts. Messages and
// failures of generation are test failures.
TGenerated Generate(const TVELDataDictionary& model, const TOptions& extra = {});

// The full-feature model of a target (see BuildFullFeatureModel), with the shipped definitions.
std::unique_ptr<TVELDataDictionary> FullModel(const std::string& target, const TFullFeatureSetup& setup);

}  // namespace ardvin::test
