#include "automation/BusOptions.h"

#include <cmath>
#include <set>
#include <sstream>
#include <string_view>

namespace tarsion {

namespace {
std::string Range(double low, double high) {
    std::ostringstream text;
    text << low << " to " << high;
    return text.str();
}

bool Within(double value, double low, double high) {
    return std::isfinite(value) && value >= low && value <= high;
}
} // namespace

CBusOptions::CBusOptions(BusOptionEntries entries) : entries_(std::move(entries)), asked_(entries_.size()) {}

void CBusOptions::Note(std::string problem) {
    if (!problem_)
        problem_ = std::move(problem);
}

template <typename T>
const T* CBusOptions::Find(const std::string& key, const std::string& kind) {
    for (std::size_t k = 0; k < entries_.size(); ++k) {
        if (entries_[k].first != key)
            continue;
        asked_[k] = true;
        const T* value = std::get_if<T>(&entries_[k].second);
        if (!value)
            Note("option \"" + key + "\" must be " + kind);
        return value;
    }
    return nullptr;
}

std::optional<double> CBusOptions::Number(const std::string& key, double low, double high) {
    const std::string kind = "a number from " + Range(low, high);
    const double* value = Find<double>(key, kind);
    if (!value)
        return std::nullopt;
    if (!Within(*value, low, high)) {
        Note("option \"" + key + "\" must be " + kind);
        return std::nullopt;
    }
    return *value;
}

std::optional<std::string> CBusOptions::Text(const std::string& key) {
    const std::string* value = Find<std::string>(key, "a string");
    return value ? std::optional<std::string>(*value) : std::nullopt;
}

std::optional<bool> CBusOptions::Flag(const std::string& key) {
    const bool* value = Find<bool>(key, "a boolean");
    return value ? std::optional<bool>(*value) : std::nullopt;
}

std::optional<std::vector<double>> CBusOptions::Numbers(const std::string& key, double low, double high,
                                                        std::size_t most) {
    const std::string kind =
        "an array of at most " + std::to_string(most) + " numbers from " + Range(low, high);
    const std::vector<double>* values = Find<std::vector<double>>(key, kind);
    if (!values)
        return std::nullopt;
    if (values->size() > most) {
        Note("option \"" + key + "\" must be " + kind);
        return std::nullopt;
    }
    for (const double value : *values) {
        if (!Within(value, low, high)) {
            Note("option \"" + key + "\" must be " + kind);
            return std::nullopt;
        }
    }
    return *values;
}

std::optional<std::string> CBusOptions::Problem() const {
    if (problem_)
        return problem_;
    std::set<std::string_view> seen;
    for (std::size_t k = 0; k < entries_.size(); ++k) {
        if (!seen.insert(entries_[k].first).second)
            return "option \"" + entries_[k].first + "\" is given twice";
        if (!asked_[k])
            return "unknown option \"" + entries_[k].first + "\"";
    }
    return std::nullopt;
}

} // namespace tarsion
