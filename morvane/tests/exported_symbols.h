// A shared library's face: the functions its header declares with the
// export macro, and what its dynamic symbol table defines (read by nm),
// each name with its nm type letter.
#pragma once
#include <cstdio>
#include <fstream>
#include <iterator>
#include <map>
#include <regex>
#include <set>
#include <string>

inline std::set<std::string> declaredFunctions(const char* header, const std::string& api,
                                               const std::string& prefix) {
  std::ifstream in(header);
  const std::string text((std::istreambuf_iterator<char>(in)), {});
  const std::regex declaration(api + R"(\s+[^;(]*?\b()" + prefix + R"(\w+)\s*\()");
  std::set<std::string> names;
  for (std::sregex_iterator it(text.begin(), text.end(), declaration), end; it != end; ++it)
    names.insert((*it)[1]);
  return names;
}

inline std::map<std::string, char> exportedSymbols(const char* library) {
  std::map<std::string, char> symbols;
  FILE* nm = popen((std::string("nm -D --defined-only --format=posix ") + library).c_str(), "r");
  char name[400], type = 0;
  while (nm && std::fscanf(nm, "%399s %c%*[^\n]", name, &type) == 2) symbols[name] = type;
  if (nm) pclose(nm);
  return symbols;
}

// Exactly the declared functions, each a function of the library's code.
inline std::map<std::string, char> asFunctions(const std::set<std::string>& names) {
  std::map<std::string, char> out;
  for (const std::string& n : names) out[n] = 'T';
  return out;
}
