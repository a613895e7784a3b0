// A small writer of compact JSON objects in key order, for the command-line tool's results.
#pragma once

#include <QString>
#include <string>
#include <vector>

namespace mervo {

std::string jsonQuote(const QString& s);

class JsonObject {
public:
    JsonObject& raw(const char* key, const std::string& json);
    JsonObject& str(const char* key, const QString& value);
    JsonObject& num(const char* key, float value);   // shortest digits that read back to the float
    JsonObject& integer(const char* key, long long value);
    JsonObject& boolean(const char* key, bool value);
    JsonObject& nul(const char* key);
    JsonObject& floats(const char* key, const float* values, size_t n);
    template <class Array>
    JsonObject& floats(const char* key, const Array& a) {
        return floats(key, a.data(), a.size());
    }
    std::string text() const { return "{" + body_ + "}"; }

private:
    std::string body_;
};

std::string jsonFloatArray(const float* values, size_t n);

}  // namespace mervo
