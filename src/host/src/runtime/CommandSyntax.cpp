#include "runtime/CommandSyntax.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstdlib>

namespace host {

namespace {

std::string dashed(const std::string& name) {
  return !name.empty() && name[0] == '-' ? name : "-" + name;
}

// "-q" and "-query" read as flags; "-5" and "-.5" as values.
bool looksLikeFlag(const std::string& arg) {
  return arg.size() > 1 && arg[0] == '-' && std::isalpha(static_cast<unsigned char>(arg[1]));
}

bool readsAs(MSyntax::MArgType type, const std::string& text) {
  bool flag = false;
  long long integer = 0;
  double number = 0;
  switch (type) {
    case MSyntax::kBoolean:
      return readBool(text, flag);
    case MSyntax::kLong:
      return readInt(text, integer) && integer >= -2147483648LL && integer <= 2147483647LL;
    case MSyntax::kUnsigned:
      return readInt(text, integer) && integer >= 0 && integer <= 4294967295LL;
    case MSyntax::kDouble:
    case MSyntax::kDistance:
    case MSyntax::kAngle:
    case MSyntax::kTime:
      return readDouble(text, number);
    default:
      return true;
  }
}

}  // namespace

const CommandSyntax::Flag* CommandSyntax::find(const std::string& name) const {
  const std::string wanted = dashed(name);
  for (const Flag& flag : flags) {
    if (flag.shortName == wanted || flag.longName == wanted) return &flag;
  }
  return nullptr;
}

const char* CommandSyntax::typeName(MSyntax::MArgType type) {
  switch (type) {
    case MSyntax::kBoolean:
      return "on|off";
    case MSyntax::kLong:
      return "Int";
    case MSyntax::kDouble:
      return "Float";
    case MSyntax::kString:
      return "String";
    case MSyntax::kUnsigned:
      return "UnsignedInt";
    case MSyntax::kDistance:
      return "Length";
    case MSyntax::kAngle:
      return "Angle";
    case MSyntax::kTime:
      return "Time";
    case MSyntax::kSelectionItem:
      return "Object";
    default:
      return "";
  }
}

std::string CommandSyntax::help(const std::string& command) const {
  std::vector<Flag> listed;
  if (edit) listed.push_back({"-e", "-edit", {}, false});
  if (query) listed.push_back({"-q", "-query", {}, false});
  std::vector<Flag> sorted = flags;
  std::sort(sorted.begin(), sorted.end(),
            [](const Flag& a, const Flag& b) { return a.longName < b.longName; });
  listed.insert(listed.end(), sorted.begin(), sorted.end());
  std::size_t longWidth = 0;
  for (const Flag& flag : listed) longWidth = std::max(longWidth, flag.longName.size());

  std::string text = "Synopsis: " + command + " [flags]";
  if (objects == MSyntax::kStringObjects) text += " [String...]";
  if (objects == MSyntax::kSelectionList) text += " [Object...]";
  text += "\nFlags:\n";
  for (const Flag& flag : listed) {
    std::string line = std::string(flag.shortName.size() < 5 ? 5 - flag.shortName.size() : 0, ' ');
    line += flag.shortName + " " + flag.longName;
    if (!flag.arguments.empty()) {
      line += std::string(longWidth - flag.longName.size(), ' ');
      for (MSyntax::MArgType type : flag.arguments) line += std::string(" ") + typeName(type);
    }
    if (flag.multiUse) line += " (multi-use)";
    text += line + "\n";
  }
  return text;
}

const ParsedArguments::Use* ParsedArguments::find(const std::string& flag) const {
  const CommandSyntax::Flag* wanted = syntax ? syntax->find(flag) : nullptr;
  if (wanted == nullptr) return nullptr;
  for (const Use& use : uses) {
    if (use.flag == wanted) return &use;
  }
  return nullptr;
}

bool parseArguments(const std::shared_ptr<const CommandSyntax>& syntax,
                    const std::vector<std::string>& args, ParsedArguments& parsed,
                    std::string& error) {
  parsed = ParsedArguments();
  parsed.syntax = syntax;
  // Queried flags take no arguments, wherever -query stands; "-q" as a string flag's argument is
  // no query.
  for (std::size_t i = 0; syntax->query && i < args.size(); ++i) {
    if (args[i] == "-q" || args[i] == "-query") {
      parsed.query = true;
      break;
    }
    const CommandSyntax::Flag* flag = looksLikeFlag(args[i]) ? syntax->find(args[i]) : nullptr;
    if (flag == nullptr) continue;
    for (MSyntax::MArgType type : flag->arguments) {
      if (i + 1 >= args.size() || !readsAs(type, args[i + 1])) break;
      ++i;
    }
  }
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    if (!looksLikeFlag(arg)) {
      parsed.objects.push_back(arg);
      continue;
    }
    if (syntax->query && (arg == "-q" || arg == "-query")) continue;
    if (syntax->edit && (arg == "-e" || arg == "-edit")) {
      parsed.edit = true;
      continue;
    }
    const CommandSyntax::Flag* flag = syntax->find(arg);
    if (flag == nullptr) {
      error = "Invalid flag '" + arg + "'";
      return false;
    }
    const bool again =
        std::any_of(parsed.uses.begin(), parsed.uses.end(),
                    [flag](const ParsedArguments::Use& use) { return use.flag == flag; });
    if (again && !flag->multiUse) {
      error = "Flag '" + flag->longName + "' can only be used once";
      return false;
    }
    ParsedArguments::Use use{flag, {}};
    if (!parsed.query) {
      for (std::size_t n = 0; n < flag->arguments.size(); ++n) {
        const MSyntax::MArgType type = flag->arguments[n];
        const std::string expected =
            std::string("Flag '") + flag->longName + "' needs " +
            (flag->arguments.size() > 1 ? "argument " + std::to_string(n + 1) + " of type "
                                        : std::string("a ")) +
            CommandSyntax::typeName(type) + " argument";
        if (i + 1 >= args.size()) {
          error = expected;
          return false;
        }
        const std::string& value = args[++i];
        if (!readsAs(type, value)) {
          error = expected + "; '" + value + "' is not one";
          return false;
        }
        use.values.push_back(value);
      }
    }
    parsed.uses.push_back(use);
  }
  if (parsed.edit && parsed.query) {
    error = "Flags '-edit' and '-query' cannot be used together";
    return false;
  }
  const std::size_t objects = parsed.objects.size();
  if (syntax->objects == MSyntax::kNone && objects > 0) {
    error = "Too many objects or values: '" + parsed.objects.front() + "'";
    return false;
  }
  if (objects > syntax->maxObjects) {
    error = "Too many objects or values: '" + parsed.objects[syntax->maxObjects] + "'";
    return false;
  }
  if (objects < syntax->minObjects && !parsed.query) {
    error = "Too few objects or values: " + std::to_string(syntax->minObjects) + " needed";
    return false;
  }
  return true;
}

bool readBool(const std::string& text, bool& value) {
  std::string lower = text;
  std::transform(lower.begin(), lower.end(), lower.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  if (lower == "on" || lower == "true" || lower == "yes" || lower == "1") {
    value = true;
    return true;
  }
  if (lower == "off" || lower == "false" || lower == "no" || lower == "0") {
    value = false;
    return true;
  }
  return false;
}

bool readInt(const std::string& text, long long& value) {
  if (text.empty() || std::isspace(static_cast<unsigned char>(text[0]))) return false;
  char* end = nullptr;
  errno = 0;
  value = std::strtoll(text.c_str(), &end, 10);
  return errno == 0 && end != nullptr && *end == '\0';
}

bool readDouble(const std::string& text, double& value) {
  if (text.empty() || std::isspace(static_cast<unsigned char>(text[0]))) return false;
  char* end = nullptr;
  value = std::strtod(text.c_str(), &end);
  return end != nullptr && *end == '\0' && std::isfinite(value);
}

}  // namespace host
