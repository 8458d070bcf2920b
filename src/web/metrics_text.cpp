#include "web/metrics_text.h"

#include "outputs/map_uploads.h"

namespace ravelin {
namespace {

void family(std::string& out, const char* name, const char* type, const char* help) {
    out += std::string("# HELP ") + name + " " + help + "\n# TYPE " + name + " " + type + "\n";
}

void sample(std::string& out, const char* name, const std::string& value, const char* labels = "") {
    if (!value.empty()) out += std::string(name) + labels + " " + value + "\n";
}

std::string flag(bool b) { return b ? "1" : "0"; }

// A label's value in quotes, with the exposition format's escapes.
std::string quoted(const std::string& value) {
    std::string out = "\"";
    for (const char c : value) {
        if (c == '\n') {
            out += "\\n";
            continue;
        }
        if (c == '"' || c == '\\') out += '\\';
        out += c;
    }
    return out + "\"";
}

// "radmon.org" -> "radmon", "GMCmap" -> "gmcmap": short, lower-case, as a query writes it.
std::string serviceLabel(const std::string& service) {
    std::string out;
    for (const char c : service.substr(0, service.find('.')))
        out += static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
    return "{service=" + quoted(out);
}

// The public maps' families, from the statuses the station's state message reports.
void mapFamilies(std::string& out, const std::vector<MapStatus>& maps) {
    // One sample a service, or a service with an outbox, under the family's HELP and TYPE.
    const auto each = [&](const char* name, const char* type, const char* help, bool outboxOnly, auto value) {
        family(out, name, type, help);
        for (const MapStatus& m : maps)
            if (!outboxOnly || m.hasOutbox) sample(out, name, value(m), (serviceLabel(m.service) + "}").c_str());
    };
    family(out, "ravelin_map_upload_state", "gauge",
           "A public map's upload state: 1 for the state it is in (starting, working, failing, stopped), 0 for the others.");
    for (const MapStatus& m : maps)
        for (const MapState state : {MapState::Starting, MapState::Working, MapState::Failing, MapState::Stopped})
            sample(out, "ravelin_map_upload_state", flag(m.state == state),
                   (serviceLabel(m.service) + ",state=" + quoted(mapStateName(state)) + "}").c_str());
    each("ravelin_map_readings_sent_total", "counter", "Readings a public map has taken since the start.", false,
         [](const MapStatus& m) { return std::to_string(m.sent); });
    each("ravelin_map_readings_dropped_total", "counter",
         "Readings given up since the start: a live map's reading not sent in its minute, or the oldest of a full outbox.",
         false, [](const MapStatus& m) { return std::to_string(m.dropped); });
    bool outbox = false;
    for (const MapStatus& m : maps) outbox = outbox || m.hasOutbox;
    if (!outbox) return;
    each("ravelin_map_readings_waiting", "gauge", "Readings in a public map's outbox, waiting to be taken.", true,
         [](const MapStatus& m) { return std::to_string(m.waiting); });
    each("ravelin_map_outbox_write_failing", "gauge",
         "Whether readings cannot be written to a public map's outbox (1) or can (0).", true,
         [](const MapStatus& m) { return flag(!m.outboxError.empty()); });
}

}  // namespace

std::string metricsText(const LiveSecond* s, bool receiving, const std::string& version) {
    const LiveSecond none;
    const LiveSecond& v = s ? *s : none;
    std::string out;
    family(out, "ravelin_pulses_total", "counter", "Pulses counted since counting started.");
    sample(out, "ravelin_pulses_total", std::to_string(v.total));
    family(out, "ravelin_processed_seconds_total", "counter", "One-second buffers processed since counting started.");
    sample(out, "ravelin_processed_seconds_total", std::to_string(v.seconds));
    family(out, "ravelin_counts_per_minute", "gauge", "Counts per minute, as the CPM readout shows it.");
    sample(out, "ravelin_counts_per_minute", v.cpm);
    family(out, "ravelin_counts_per_minute_lower", "gauge", "Lower bound of the 95 % interval of the counts per minute.");
    sample(out, "ravelin_counts_per_minute_lower", v.cpmLow);
    family(out, "ravelin_counts_per_minute_upper", "gauge", "Upper bound of the 95 % interval of the counts per minute.");
    sample(out, "ravelin_counts_per_minute_upper", v.cpmHigh);
    family(out, "ravelin_dose_rate_microsieverts_per_hour", "gauge", "Dose rate in microsieverts per hour, as the readout shows it.");
    sample(out, "ravelin_dose_rate_microsieverts_per_hour", v.dose);
    family(out, "ravelin_dose_rate_lower_microsieverts_per_hour", "gauge",
           "Lower bound of the 95 % interval of the dose rate, in microsieverts per hour.");
    sample(out, "ravelin_dose_rate_lower_microsieverts_per_hour", v.doseLow);
    family(out, "ravelin_dose_rate_upper_microsieverts_per_hour", "gauge",
           "Upper bound of the 95 % interval of the dose rate, in microsieverts per hour.");
    sample(out, "ravelin_dose_rate_upper_microsieverts_per_hour", v.doseHigh);
    family(out, "ravelin_alarm_stage_enabled", "gauge", "Whether an alarm stage is ticked (1) or not (0).");
    sample(out, "ravelin_alarm_stage_enabled", flag(v.alarm1Ticked), "{stage=\"1\"}");
    sample(out, "ravelin_alarm_stage_enabled", flag(v.alarm2Ticked), "{stage=\"2\"}");
    family(out, "ravelin_alarm_stage_firing", "gauge", "Whether an alarm stage has fired and is latched (1) or not (0).");
    sample(out, "ravelin_alarm_stage_firing", flag(v.alarm1), "{stage=\"1\"}");
    sample(out, "ravelin_alarm_stage_firing", flag(v.alarm2), "{stage=\"2\"}");
    family(out, "ravelin_log_records_written_total", "counter", "Per-minute log records written to the CSV log.");
    sample(out, "ravelin_log_records_written_total", std::to_string(v.recordsWritten));
    family(out, "ravelin_log_records_pending", "gauge", "Per-minute log records not yet written (kept for another try).");
    sample(out, "ravelin_log_records_pending", std::to_string(v.recordsPending));
    family(out, "ravelin_input_receiving", "gauge", "Whether the input delivered a buffer in the last three seconds (1) or not (0).");
    sample(out, "ravelin_input_receiving", flag(receiving));
    if (!v.maps.empty()) mapFamilies(out, v.maps);
    family(out, "ravelin_build_info", "gauge", "The program's version.");
    sample(out, "ravelin_build_info", "1", ("{version=" + quoted(version) + "}").c_str());
    return out;
}

}  // namespace ravelin
