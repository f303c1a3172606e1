#pragma once

#include <maya/MSyntax.h>

#include <memory>
#include <string>
#include <vector>

namespace host {

// What an MSyntax holds: flags with their argument types, query and edit, and the objects.
class CommandSyntax {
 public:
  struct Flag {
    std::string shortName;  // with its "-"
    std::string longName;
    std::vector<MSyntax::MArgType> arguments;
    bool multiUse = false;
  };

  // By short or long name, with or without the "-"; null when there is none.
  const Flag* find(const std::string& name) const;
  // What "help <command>" prints: a synopsis line, then one line per flag ("-q -query" first,
  // then by long name) with its argument types.
  std::string help(const std::string& command) const;
  // The word help prints for an argument type: "on|off", "Int", "Float", "String", ...
  static const char* typeName(MSyntax::MArgType type);

  std::vector<Flag> flags;
  bool query = false;
  bool edit = false;
  MSyntax::MObjectFormat objects = MSyntax::kNone;
  unsigned int minObjects = 0;
  unsigned int maxObjects = ~0u;
};

// A command line read against a CommandSyntax.
struct ParsedArguments {
  struct Use {
    const CommandSyntax::Flag* flag;
    std::vector<std::string> values;
  };
  // The syntax the uses point into.
  std::shared_ptr<const CommandSyntax> syntax;
  std::vector<Use> uses;
  bool query = false;
  bool edit = false;
  std::vector<std::string> objects;

  // The use of the flag (either name, with or without "-"); null when it is not set.
  const Use* find(const std::string& flag) const;
};

// False, with what is wrong in Maya's words in error ("Invalid flag '-x'"), when the arguments
// do not fit: an unknown flag, a flag's argument missing or not of its type, a flag given twice
// that is not multi-use, -query or -edit where the syntax has none, too few or too many objects.
bool parseArguments(const std::shared_ptr<const CommandSyntax>& syntax,
                    const std::vector<std::string>& args, ParsedArguments& parsed,
                    std::string& error);

// Whether text reads as a value of the type, and the value when it does (booleans read "on",
// "off", "true", "false", "yes", "no", "1", "0").
bool readBool(const std::string& text, bool& value);
bool readInt(const std::string& text, long long& value);
bool readDouble(const std::string& text, double& value);

// MSyntax's rules, for the host's registry.
struct SyntaxAccess {
  static std::shared_ptr<CommandSyntax>& rules(MSyntax& syntax) { return syntax.rules; }
  static std::shared_ptr<const CommandSyntax> rules(const MSyntax& syntax) { return syntax.rules; }
};

}  // namespace host
