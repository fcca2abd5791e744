// The adaptors of com.tessaric.Tarsion.Signal1: the figures of merit of the shaping filters and of
// the pattern memory, of what was written or of what the board holds, as the signal views give them.
#include "automation/BusOptions.h"
#include "automation/ObjectInterfaces.h"
#include "ops/BoardOperations.h"
#include "ops/MemoryReadBack.h"
#include "ops/PatternImport.h"
#include "signal/FftwTransform.h"
#include "signal/FilterMerit.h"
#include "signal/PatternMerit.h"

#include <QString>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <dbus/dbus.h>

namespace tarsion {

namespace {

constexpr const char* kFailed = "com.tessaric.Tarsion.Error.Failed";
constexpr const char* kInvalidArgs = "org.freedesktop.DBus.Error.InvalidArgs";
constexpr double kMostPeaks = 1000;
constexpr std::size_t kMostOffsets = 64;

AutomationResult Refusal(const char* name, std::string text) {
    return AutomationReply{{}, name, std::move(text)};
}

std::string Lower(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

// What a source names: the memory as written, read back from the board, or the file's own taps.
enum class Source { Written, Board, File };

std::optional<Source> SourceNamed(const std::string& name, bool fileAllowed) {
    const std::string lower = Lower(name);
    if (lower == "written")
        return Source::Written;
    if (lower == "board")
        return Source::Board;
    if (lower == "file" && fileAllowed)
        return Source::File;
    return std::nullopt;
}

// Why a memory's last load can't stand for it; empty when it can.
std::optional<std::string> LoadRefusal(const LoadedMemories& loaded, ChipMemory memory, bool hasLoad) {
    if (!hasLoad)
        return std::string("the ") + ChipMemoryName(memory) + " was not loaded since the program started";
    if (const auto& partial = loaded.Partial(memory))
        return std::string("the ") + ChipMemoryName(memory) + " matches no file: " + partial->note;
    return std::nullopt;
}

AutomationResult ReadFailure(AutomationTarget& target, ChipMemory memory) {
    const std::string lines = target.lastResult ? target.lastResult() : std::string();
    return Refusal(kFailed, std::string("Read from Board: ") + ChipMemoryName(memory) + " failed" +
                                (lines.empty() ? "" : ": " + lines));
}

void OpenEntry(DBusMessageIter& dict, const char* key, const char* signature, DBusMessageIter& entry,
               DBusMessageIter& variant) {
    dbus_message_iter_open_container(&dict, DBUS_TYPE_DICT_ENTRY, nullptr, &entry);
    dbus_message_iter_append_basic(&entry, DBUS_TYPE_STRING, &key);
    dbus_message_iter_open_container(&entry, DBUS_TYPE_VARIANT, signature, &variant);
}

void CloseEntry(DBusMessageIter& dict, DBusMessageIter& entry, DBusMessageIter& variant) {
    dbus_message_iter_close_container(&entry, &variant);
    dbus_message_iter_close_container(&dict, &entry);
}

template <int Type, typename T>
void AppendVariant(DBusMessageIter& dict, const char* key, T value) {
    const char signature[] = {static_cast<char>(Type), '\0'};
    DBusMessageIter entry;
    DBusMessageIter variant;
    OpenEntry(dict, key, signature, entry, variant);
    dbus_message_iter_append_basic(&variant, Type, &value);
    CloseEntry(dict, entry, variant);
}

void AppendNumbers(DBusMessageIter& dict, const char* key, const std::vector<double>& values) {
    DBusMessageIter entry;
    DBusMessageIter variant;
    DBusMessageIter array;
    OpenEntry(dict, key, "ad", entry, variant);
    dbus_message_iter_open_container(&variant, DBUS_TYPE_ARRAY, "d", &array);
    const double* data = values.data();
    dbus_message_iter_append_fixed_array(&array, DBUS_TYPE_DOUBLE, &data, static_cast<int>(values.size()));
    dbus_message_iter_close_container(&variant, &array);
    CloseEntry(dict, entry, variant);
}

void AppendPeaks(DBusMessageIter& dict, const std::vector<SpectralPeak>& peaks) {
    DBusMessageIter entry;
    DBusMessageIter variant;
    DBusMessageIter array;
    OpenEntry(dict, "peaks", "a(dd)", entry, variant);
    dbus_message_iter_open_container(&variant, DBUS_TYPE_ARRAY, "(dd)", &array);
    for (const SpectralPeak& peak : peaks) {
        DBusMessageIter item;
        dbus_message_iter_open_container(&array, DBUS_TYPE_STRUCT, nullptr, &item);
        dbus_message_iter_append_basic(&item, DBUS_TYPE_DOUBLE, &peak.frequency);
        dbus_message_iter_append_basic(&item, DBUS_TYPE_DOUBLE, &peak.dbfs);
        dbus_message_iter_close_container(&array, &item);
    }
    dbus_message_iter_close_container(&variant, &array);
    CloseEntry(dict, entry, variant);
}

AutomationResult FilterReply(const FilterMerit& merit, const FilterBandEdges& edges) {
    const std::vector<std::pair<const char*, double>> figures = {
        {"dc_gain_db", merit.dcGainDb},
        {"ripple_db", merit.rippleDb},
        {"stopband_db", merit.stopbandDb},
        {"f3db", merit.f3db},
        {"f6db", merit.f6db},
        {"group_delay", merit.groupDelay},
        {"group_delay_variation", merit.groupDelayVariation},
        {"isi_evm_percent", merit.isiEvmPercent},
        {"isi_evm_db", merit.isiEvmDb},
        {"passband_edge", edges.passband},
        {"stopband_edge", edges.stopband},
    };
    return AutomationReply{[figures](DBusMessage* reply) {
                               DBusMessageIter iter;
                               DBusMessageIter dict;
                               dbus_message_iter_init_append(reply, &iter);
                               dbus_message_iter_open_container(&iter, DBUS_TYPE_ARRAY, "{sd}", &dict);
                               for (const auto& [key, value] : figures) {
                                   DBusMessageIter entry;
                                   dbus_message_iter_open_container(&dict, DBUS_TYPE_DICT_ENTRY, nullptr,
                                                                    &entry);
                                   dbus_message_iter_append_basic(&entry, DBUS_TYPE_STRING, &key);
                                   dbus_message_iter_append_basic(&entry, DBUS_TYPE_DOUBLE, &value);
                                   dbus_message_iter_close_container(&dict, &entry);
                               }
                               dbus_message_iter_close_container(&iter, &dict);
                           },
                           {},
                           {}};
}

AutomationResult PatternReply(const PatternMerit& merit, std::size_t pairs, std::optional<double> dataClk) {
    return AutomationReply{
        [merit, pairs, dataClk](DBusMessage* reply) {
            DBusMessageIter iter;
            DBusMessageIter dict;
            dbus_message_iter_init_append(reply, &iter);
            dbus_message_iter_open_container(&iter, DBUS_TYPE_ARRAY, "{sv}", &dict);
            AppendPeaks(dict, merit.peaks);
            AppendVariant<DBUS_TYPE_STRING>(dict, "window", WindowName(merit.window));
            for (const auto& [key, value] : std::vector<std::pair<const char*, double>>{
                     {"fundamental_frequency", merit.fundamentalFrequency},
                     {"fundamental_dbfs", merit.fundamentalDbfs},
                     {"sfdr_db", merit.sfdrDb},
                     {"snr_db", merit.snrDb},
                     {"sinad_db", merit.sinadDb},
                     {"thd_db", merit.thdDb},
                     {"enob", merit.enob}})
                AppendVariant<DBUS_TYPE_DOUBLE>(dict, key, value);
            AppendVariant<DBUS_TYPE_UINT32>(dict, "pairs", static_cast<dbus_uint32_t>(pairs));
            if (merit.channelPowerDbfs) {
                AppendVariant<DBUS_TYPE_DOUBLE>(dict, "channel_power_dbfs", *merit.channelPowerDbfs);
                AppendNumbers(dict, "aclr_db", merit.aclrDb);
            }
            if (dataClk)
                AppendVariant<DBUS_TYPE_DOUBLE>(dict, "data_clk_hz", *dataClk);
            dbus_message_iter_close_container(&iter, &dict);
        },
        {},
        {}};
}

std::optional<PatternChannel> ChannelNamed(const std::string& name) {
    const std::string lower = Lower(name);
    if (lower == "i")
        return PatternChannel::I;
    if (lower == "q")
        return PatternChannel::Q;
    if (lower == "iq")
        return PatternChannel::IQ;
    return std::nullopt;
}

} // namespace

AutomationWork signal1::FilterFigures(AutomationTarget& target, std::string which, std::string source,
                                      BusOptionEntries options) {
    return [&target, which = Lower(std::move(which)), source = std::move(source),
            options = std::move(options)]() mutable -> AutomationResult {
        if (which != "i" && which != "q")
            return Refusal(kInvalidArgs, "which must be \"I\" or \"Q\"");
        const std::optional<Source> from = SourceNamed(source, true);
        if (!from)
            return Refusal(kInvalidArgs, "source must be \"written\", \"board\" or \"file\"");
        CBusOptions read(std::move(options));
        const std::optional<double> passband = read.Number("passband_edge", 0.0, 0.5);
        const std::optional<double> stopband = read.Number("stopband_edge", 0.0, 0.5);
        const std::optional<double> rolloff = read.Number("rolloff", 0.0, 1.0);
        if (const std::optional<std::string> problem = read.Problem())
            return Refusal(kInvalidArgs, *problem);

        const int index = which == "i" ? 0 : 1;
        const ChipMemory memory = index == 0 ? ChipMemory::CoefficientI : ChipMemory::CoefficientQ;
        const CTarsionDoc& doc = target.ops.Doc();
        const std::optional<LoadedCoefficients>& loaded = doc.loaded.Coefficients(index);
        // Without a load of its own the program knows the filter's shape only from the Filter page.
        const CoefficientSettings& settings = index == 0 ? doc.coefficientI : doc.coefficientQ;
        const FilterGeometry geometry =
            loaded ? loaded->geometry : FilterGeometry::For(settings.interpolation, settings.twoBitMode);
        std::vector<double> taps;
        if (*from == Source::Board) {
            if (!CMemoryReader(target.ops).Read(memory) || !doc.loaded.CoefficientsRead(index))
                return ReadFailure(target, memory);
            taps = TapsFromTable(doc.loaded.CoefficientsRead(index)->contents, geometry);
        } else {
            if (const std::optional<std::string> refusal =
                    LoadRefusal(doc.loaded, memory, loaded.has_value()))
                return Refusal(kFailed, *refusal);
            taps = *from == Source::File ? loaded->idealTaps : TapsFromTable(loaded->words, geometry);
        }
        const FilterBandEdges defaults = BandEdgesFor(rolloff.value_or(kDefaultRolloff), geometry.rate);
        const FilterBandEdges edges{passband.value_or(defaults.passband),
                                    stopband.value_or(defaults.stopband)};
        FftwTransform fft;
        return FilterReply(FilterMeritOf(taps, geometry.rate, edges, fft), edges);
    };
}

AutomationWork signal1::PatternFigures(AutomationTarget& target, std::string source,
                                       BusOptionEntries options) {
    return [&target, source = std::move(source), options = std::move(options)]() mutable -> AutomationResult {
        const std::optional<Source> from = SourceNamed(source, false);
        if (!from)
            return Refusal(kInvalidArgs, "source must be \"written\" or \"board\"");
        CBusOptions read(std::move(options));
        const std::optional<std::string> channelName = read.Text("channel");
        const std::optional<double> peaks = read.Number("peaks", 0.0, kMostPeaks);
        const std::optional<double> width = read.Number("channel_width", 0.0, 1.0);
        const std::optional<std::vector<double>> offsets =
            read.Numbers("channel_offsets", -1.0, 1.0, kMostOffsets);
        if (const std::optional<std::string> problem = read.Problem())
            return Refusal(kInvalidArgs, *problem);
        const std::optional<PatternChannel> channel = ChannelNamed(channelName.value_or("I"));
        if (!channel)
            return Refusal(kInvalidArgs, "option \"channel\" must be \"I\", \"Q\" or \"IQ\"");
        if (peaks && std::floor(*peaks) != *peaks)
            return Refusal(kInvalidArgs, "option \"peaks\" must be a whole number");
        if (width && !(*width > 0))
            return Refusal(kInvalidArgs, "option \"channel_width\" must be above 0");

        CTarsionDoc& doc = target.ops.Doc();
        std::vector<SamplePair> pairs;
        if (*from == Source::Board) {
            if (!CMemoryReader(target.ops).Read(ChipMemory::Pattern) || !doc.loaded.PatternRead())
                return ReadFailure(target, ChipMemory::Pattern);
            pairs = doc.loaded.PatternRead()->contents.pairs;
        } else {
            const std::optional<LoadedPattern>& loaded = doc.loaded.Pattern();
            if (const std::optional<std::string> refusal =
                    LoadRefusal(doc.loaded, ChipMemory::Pattern, loaded.has_value()))
                return Refusal(kFailed, *refusal);
            pairs = PairsAsWritten(*loaded);
        }
        PatternMeritOptions settings;
        settings.peaks = static_cast<int>(peaks.value_or(settings.peaks));
        settings.channelWidth = width;
        settings.channelOffsets = offsets.value_or(std::vector<double>{});
        settings.sampleRateHz = DataClkHz(doc.Shadow());
        FftwTransform fft;
        return PatternReply(PatternMeritOf(pairs, *channel, settings, fft), pairs.size(),
                            settings.sampleRateHz);
    };
}

namespace {

// The report of an import as the bus gives it.
AutomationResult ImportReply(const ImportReport& report, bool written) {
    return AutomationReply{
        [report, written](DBusMessage* reply) {
            DBusMessageIter iter;
            DBusMessageIter dict;
            dbus_message_iter_init_append(reply, &iter);
            dbus_message_iter_open_container(&iter, DBUS_TYPE_ARRAY, "{sv}", &dict);
            AppendVariant<DBUS_TYPE_UINT32>(dict, "pairs", static_cast<dbus_uint32_t>(report.pairs));
            AppendVariant<DBUS_TYPE_UINT32>(dict, "clipped", static_cast<dbus_uint32_t>(report.clipped));
            AppendVariant<DBUS_TYPE_DOUBLE>(dict, "scale", report.scale);
            AppendVariant<DBUS_TYPE_DOUBLE>(dict, "min", report.min);
            AppendVariant<DBUS_TYPE_DOUBLE>(dict, "max", report.max);
            AppendVariant<DBUS_TYPE_INT32>(dict, "sample_min", static_cast<dbus_int32_t>(report.sampleMin));
            AppendVariant<DBUS_TYPE_INT32>(dict, "sample_max", static_cast<dbus_int32_t>(report.sampleMax));
            AppendVariant<DBUS_TYPE_UINT32>(dict, "first_address",
                                            static_cast<dbus_uint32_t>(report.firstAddress));
            // D-Bus strings are UTF-8; a file's name need not be.
            for (const auto& [key, text] : std::vector<std::pair<const char*, std::string>>{
                     {"scaling", ImportScalingName(report.scaling)},
                     {"negatives", report.negatives},
                     {"layout", QString::fromStdString(report.layout).toStdString()},
                     {"file", QString::fromStdString(report.file).toStdString()}})
                AppendVariant<DBUS_TYPE_STRING>(dict, key, text.c_str());
            AppendVariant<DBUS_TYPE_BOOLEAN>(dict, "written", static_cast<dbus_bool_t>(written));
            dbus_message_iter_close_container(&iter, &dict);
        },
        {},
        {}};
}

} // namespace

AutomationWork signal1::ImportPattern(AutomationTarget& target, std::string file, BusOptionEntries options) {
    return [&target, file = std::move(file), options = std::move(options)]() mutable -> AutomationResult {
        CBusOptions read(std::move(options));
        const bool preview = read.Flag("preview").value_or(false);
        const std::optional<std::string> scalingName = read.Text("scaling");
        if (const auto problem = read.Problem())
            return Refusal(kInvalidArgs, *problem);
        const std::optional<ImportScaling> scaling =
            scalingName ? ParseImportScaling(Lower(*scalingName)) : ImportScaling::AsIs;
        if (!scaling)
            return Refusal(kInvalidArgs, "option \"scaling\" must be \"as is\" or \"full scale\"");
        CBoardOperations& ops = target.ops;
        const ImportPreview import = PreviewImport(ops.Doc().startDirectory, CallPath(file), *scaling);
        if (import.prepared && preview)
            return ImportReply(import.prepared->report, false);
        // A refused file is logged as a refused load is, previewed or not, as Load File does.
        if (!ops.ImportPattern(import)) {
            const std::string lines = target.lastResult ? target.lastResult() : import.refusal;
            return Refusal(kFailed, QString::fromStdString(lines).toStdString());
        }
        return ImportReply(import.prepared->report, true);
    };
}

} // namespace tarsion
