// One list of a record's JSON keys serves both directions: a record type
// gives a template (R is the type, const when written)
//
//   template <class Io, JsonRecord<RunRecord> R> void jsonFields(Io& io, R& r) {
//     io("station", r.station);             // required when read
//     io.optional("wire_bytes", r.wireBytes);  // kept as it is when absent
//     io.object("cpu_seconds", [&](auto& sub) { sub("sender", r.senderCpu); });
//   }
//
// and JSON_FIELDS_CONVERSIONS(Type) defines to_json and from_json from it,
// so a key is written once and cannot differ between writing and reading.
#pragma once
#include <nlohmann/json.hpp>
#include <type_traits>

// R is T, or const T when written: for one jsonFields overload per type.
template <class R, class T>
concept JsonRecord = std::is_same_v<std::remove_const_t<R>, T>;

struct JsonFieldWriter {
  nlohmann::json& j;
  template <class V>
  void operator()(const char* key, const V& value) {
    j[key] = value;
  }
  template <class V>
  void optional(const char* key, const V& value) {
    j[key] = value;
  }
  template <class F>
  void object(const char* key, F fields) {
    JsonFieldWriter sub{j[key] = nlohmann::json::object()};
    fields(sub);
  }
};

struct JsonFieldReader {
  const nlohmann::json& j;
  template <class V>
  void operator()(const char* key, V& value) {
    j.at(key).get_to(value);
  }
  // Records written before the key existed do not have it.
  template <class V>
  void optional(const char* key, V& value) {
    if (j.contains(key)) j.at(key).get_to(value);
  }
  template <class F>
  void object(const char* key, F fields) {
    JsonFieldReader sub{j.at(key)};
    fields(sub);
  }
};

#define JSON_FIELDS_CONVERSIONS(Type)                \
  void to_json(nlohmann::json& j, const Type& r) {   \
    j = nlohmann::json::object();                    \
    JsonFieldWriter io{j};                           \
    jsonFields(io, r);                               \
  }                                                  \
  void from_json(const nlohmann::json& j, Type& r) { \
    JsonFieldReader io{j};                           \
    jsonFields(io, r);                               \
  }
