// One trace record: a JSON object on one line, built field by field. Text
// bytes above 0x7F are written as \u00XX (Latin-1), so a line is always valid
// JSON whatever the add-on hands over; readers get the bytes back by encoding
// the string as Latin-1.
#ifndef DROVANA_SIM_JSON_LINE_H
#define DROVANA_SIM_JSON_LINE_H

#include <math.h>
#include <stdio.h>
#include <string.h>

#include <string>

class JsonLine {
public:
    explicit JsonLine(const char *event) : text_("{\"ev\":") { AppendQuoted(event, strlen(event)); }

    JsonLine &Str(const char *key, const char *value) {
        Key(key);
        if (value == nullptr)
            text_ += "null";
        else
            AppendQuoted(value, strlen(value));
        return *this;
    }
    // At most `limit` bytes of value, stopping at its NUL: for texts the
    // add-on passes with a size of its own.
    JsonLine &StrBounded(const char *key, const char *value, size_t limit) {
        Key(key);
        if (value == nullptr) {
            text_ += "null";
            return *this;
        }
        size_t length = 0;
        while (length < limit && value[length] != '\0') ++length;
        AppendQuoted(value, length);
        return *this;
    }
    JsonLine &Int(const char *key, long long value) {
        char number[32];
        snprintf(number, sizeof number, "%lld", value);
        return Raw(key, number);
    }
    JsonLine &Num(const char *key, double value) {
        Key(key);
        AppendNumber(value);
        return *this;
    }
    JsonLine &Bool(const char *key, bool value) { return Raw(key, value ? "true" : "false"); }
    JsonLine &Null(const char *key) { return Raw(key, "null"); }
    JsonLine &Nums(const char *key, const double *values, int count) {
        Key(key);
        text_ += '[';
        for (int i = 0; i < count; ++i) {
            if (i > 0) text_ += ',';
            AppendNumber(values[i]);
        }
        text_ += ']';
        return *this;
    }
    JsonLine &Raw(const char *key, const char *json) {
        Key(key);
        text_ += json;
        return *this;
    }
    const char *Finish() {
        if (!finished_) {
            text_ += '}';
            finished_ = true;
        }
        return text_.c_str();
    }

private:
    void Key(const char *key) {
        text_ += ',';
        AppendQuoted(key, strlen(key));
        text_ += ':';
    }
    void AppendNumber(double value) {
        if (!isfinite(value)) {
            text_ += "null";
            return;
        }
        char number[40];
        snprintf(number, sizeof number, "%.12g", value);
        text_ += number;
    }
    void AppendQuoted(const char *value, size_t length) {
        text_ += '"';
        for (size_t i = 0; i < length; ++i) {
            const unsigned char c = static_cast<unsigned char>(value[i]);
            if (c == '"' || c == '\\') {
                text_ += '\\';
                text_ += static_cast<char>(c);
            } else if (c < 0x20 || c >= 0x7F) {
                char escaped[8];
                snprintf(escaped, sizeof escaped, "\\u%04x", c);
                text_ += escaped;
            } else {
                text_ += static_cast<char>(c);
            }
        }
        text_ += '"';
    }

    std::string text_;
    bool finished_ = false;
};

#endif
