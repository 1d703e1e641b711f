#pragma once
// A small JSON writer for tour.json: objects and arrays written in order, strings escaped,
// numbers with at most four decimals.
#include <string>
#include <string_view>
#include <vector>

namespace qm::web {

class JsonWriter {
public:
    JsonWriter& beginObject(std::string_view key = {});
    JsonWriter& endObject();
    JsonWriter& beginArray(std::string_view key = {});
    JsonWriter& endArray();
    JsonWriter& value(std::string_view key, std::string_view text);
    JsonWriter& value(std::string_view key, const char* text) { return value(key, std::string_view(text)); }
    JsonWriter& value(std::string_view key, double number);
    JsonWriter& value(std::string_view key, int number) { return value(key, double(number)); }
    JsonWriter& value(std::string_view key, bool flag);
    JsonWriter& null(std::string_view key);
    // Array elements.
    JsonWriter& element(std::string_view text) { return value({}, text); }
    JsonWriter& element(double number) { return value({}, number); }

    const std::string& text() const { return m_out; }
    static std::string quote(std::string_view text);

private:
    void prefix(std::string_view key);
    std::string m_out;
    std::vector<bool> m_first; // per open container: nothing written yet
};

} // namespace qm::web
