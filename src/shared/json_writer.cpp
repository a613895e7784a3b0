#include "shared/json_writer.h"

#include <cstdio>

#include "shared/number_format.h"

namespace mervo {

std::string jsonQuote(const QString& s) {
    std::string out = "\"";
    for (unsigned char c : s.toStdString()) {
        switch (c) {
            case '"': out += "\\\""; break;
            case '\\': out += "\\\\"; break;
            case '\n': out += "\\n"; break;
            case '\r': out += "\\r"; break;
            case '\t': out += "\\t"; break;
            default:
                if (c < 0x20) {
                    char buf[8];
                    std::snprintf(buf, sizeof buf, "\\u%04x", c);
                    out += buf;
                } else {
                    out += static_cast<char>(c);
                }
        }
    }
    return out + "\"";
}

std::string jsonFloatArray(const float* values, size_t n) {
    std::string out = "[";
    for (size_t i = 0; i < n; ++i) {
        if (i) out += ',';
        out += formatShortestFloat(values[i]);
    }
    return out + "]";
}

JsonObject& JsonObject::raw(const char* key, const std::string& json) {
    if (!body_.empty()) body_ += ',';
    body_ += jsonQuote(QString::fromUtf8(key)) + ":" + json;
    return *this;
}
JsonObject& JsonObject::str(const char* key, const QString& value) { return raw(key, jsonQuote(value)); }
JsonObject& JsonObject::num(const char* key, float value) { return raw(key, formatShortestFloat(value)); }
JsonObject& JsonObject::integer(const char* key, long long value) { return raw(key, std::to_string(value)); }
JsonObject& JsonObject::boolean(const char* key, bool value) { return raw(key, value ? "true" : "false"); }
JsonObject& JsonObject::nul(const char* key) { return raw(key, "null"); }
JsonObject& JsonObject::floats(const char* key, const float* values, size_t n) {
    return raw(key, jsonFloatArray(values, n));
}

}  // namespace mervo
