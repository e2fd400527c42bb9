// Models that use every feature a target's definition claims: every data type of its type list,
// identity columns, defaults, checks, unique constraints, composite keys, foreign keys with every
// referential action the target allows, identifying chains, self-references and cycles,
// indexes of every kind, comments, domains, sequences, views, procedures, triggers, rules and
// schemas, with names that are reserved words or hold blanks, quotes and non-ASCII letters.
// The code objects (views, procedures, triggers, rules) are written in the dialect of the
// target and name the objects as generation will write them.
#pragma once

#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace ardvin {
class TVELDataDictionary;
}

namespace ardvin::test {

struct TFullFeatureSetup {
    // A second schema for some of the objects (on MySQL and MariaDB a second database, which
    // must exist or be creatable); empty leaves everything in the default schema.
    std::string OtherSchema;
    // The model of the MySQL 8 target is run on MariaDB: statements MySQL has and MariaDB
    // lacks (functional index parts, check constraint options) are left out.
    bool RunsOnMariaDB = false;
};

// Fills an empty dictionary whose target (postgresql15, mysql8, mariadb10, sqlite3,
// mssqlserver2019, oracle19, db2luw11, firebird3 or dbindependent) is set. The database-independent model keeps to what all four real targets
// accept once it is switched to them; its procedure and trigger code is in no dialect and is
// meant to be left out by the generation options.
void BuildFullFeatureModel(TVELDataDictionary& dd, const TFullFeatureSetup& setup);

// The full-feature model of a target in a new dictionary (the registry of targets built first).
std::unique_ptr<TVELDataDictionary> FullFeatureModel(const std::string& target, const TFullFeatureSetup& setup = {});

struct TGeneratedScripts {
    std::unique_ptr<TVELDataDictionary> Model;  // the prepared copy
    std::string CreateScript;
    std::string DropScript;
};

using TGenerationOptions = std::vector<std::pair<std::string, std::string>>;

// Prepares a copy of the model for generation as the generate command does (with the options
// its target needs and the given ones) and writes its create and drop scripts with the
// restructure object of its target. A failing statement or preparation is a test failure.
TGeneratedScripts GenerateScripts(const TVELDataDictionary& model, const TGenerationOptions& extra = {});

}  // namespace ardvin::test
