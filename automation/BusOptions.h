#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <utility>
#include <variant>
#include <vector>

namespace tarsion {

// A variant argument of the versioned interfaces as its own type gives it: a number of any D-Bus
// number type, a boolean, a string or an array of numbers; anything else holds nothing.
using BusValue = std::variant<std::monostate, bool, double, std::string, std::vector<double>>;
using BusOptionEntries = std::vector<std::pair<std::string, BusValue>>;

// The options dictionary of a call, read by name and type. Each read gives nothing when the option
// is absent; one of another type or out of range is a problem, and so, once every read was made, is
// an option that no read asked for or one given twice.
class CBusOptions {
public:
    explicit CBusOptions(BusOptionEntries entries);

    std::optional<double> Number(const std::string& key, double low, double high);
    std::optional<std::string> Text(const std::string& key);
    std::optional<bool> Flag(const std::string& key);
    std::optional<std::vector<double>> Numbers(const std::string& key, double low, double high,
                                               std::size_t most);

    // The first problem, "option "peaks" must be a number from 0 to 1000"; empty when none.
    std::optional<std::string> Problem() const;

private:
    // The option's value when it holds a T; a problem that says `kind` when it holds another type.
    template <typename T>
    const T* Find(const std::string& key, const std::string& kind);
    void Note(std::string problem);

    BusOptionEntries entries_;
    std::vector<bool> asked_;
    std::optional<std::string> problem_;
};

} // namespace tarsion
