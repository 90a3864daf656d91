// A minimal JSON writer for winprobe's reports: objects, arrays, strings
// (given as UTF-16 and written as UTF-8), integers and booleans. Commas are
// placed by the writer; the caller only opens, fills and closes.
//
// Tested by the rig self-test tests/rig/rig_selftest.py.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

class JsonWriter {
  public:
    void beginObject(std::string_view key = {}) { open(key, '{'); }
    void endObject() { close('}'); }
    void beginArray(std::string_view key = {}) { open(key, '['); }
    void endArray() { close(']'); }

    void text(std::string_view key, std::wstring_view value) {
        prefix(key);
        quoted(value);
    }
    void integer(std::string_view key, std::int64_t value) {
        prefix(key);
        out_ += std::to_string(value);
    }
    void boolean(std::string_view key, bool value) {
        prefix(key);
        out_ += value ? "true" : "false";
    }
    void null(std::string_view key) {
        prefix(key);
        out_ += "null";
    }
    void rect(std::string_view key, long left, long top, long right, long bottom) {
        beginArray(key);
        for (long v : {left, top, right, bottom}) integer({}, v);
        endArray();
    }

    const std::string& str() const { return out_; }

  private:
    void open(std::string_view key, char bracket) {
        prefix(key);
        out_ += bracket;
        first_.push_back(true);
    }
    void close(char bracket) {
        out_ += bracket;
        first_.pop_back();
    }
    // Writes the comma and, inside an object, the key.
    void prefix(std::string_view key) {
        if (!first_.empty()) {
            if (!first_.back()) out_ += ',';
            first_.back() = false;
        }
        if (!key.empty()) {
            out_ += '"';
            out_ += key;  // keys are plain ASCII names chosen by winprobe
            out_ += "\":";
        }
    }
    void quoted(std::wstring_view value) {
        out_ += '"';
        for (size_t i = 0; i < value.size(); ++i) {
            std::uint32_t c = value[i];
            // Surrogate pairs become one code point; a lone surrogate becomes U+FFFD.
            if (c >= 0xD800 && c <= 0xDBFF && i + 1 < value.size() && value[i + 1] >= 0xDC00 &&
                value[i + 1] <= 0xDFFF) {
                c = 0x10000 + ((c - 0xD800) << 10) + (value[++i] - 0xDC00);
            } else if (c >= 0xD800 && c <= 0xDFFF) {
                c = 0xFFFD;
            }
            switch (c) {
                case '"':
                    out_ += "\\\"";
                    continue;
                case '\\':
                    out_ += "\\\\";
                    continue;
                case '\n':
                    out_ += "\\n";
                    continue;
                case '\r':
                    out_ += "\\r";
                    continue;
                case '\t':
                    out_ += "\\t";
                    continue;
            }
            if (c < 0x20) {
                static const char hex[] = "0123456789abcdef";
                out_ += "\\u00";
                out_ += hex[c >> 4];
                out_ += hex[c & 15];
            } else if (c < 0x80) {
                out_ += static_cast<char>(c);
            } else if (c < 0x800) {
                out_ += static_cast<char>(0xC0 | (c >> 6));
                out_ += static_cast<char>(0x80 | (c & 0x3F));
            } else if (c < 0x10000) {
                out_ += static_cast<char>(0xE0 | (c >> 12));
                out_ += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
                out_ += static_cast<char>(0x80 | (c & 0x3F));
            } else {
                out_ += static_cast<char>(0xF0 | (c >> 18));
                out_ += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
                out_ += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
                out_ += static_cast<char>(0x80 | (c & 0x3F));
            }
        }
        out_ += '"';
    }

    std::string out_;
    std::vector<bool> first_;
};
