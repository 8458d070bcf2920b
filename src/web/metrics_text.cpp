#include "web/metrics_text.h"

namespace ravelin {
namespace {

void family(std::string& out, const char* name, const char* type, const char* help) {
    out += std::string("# HELP ") + name + " " + help + "\n# TYPE " + name + " " + type + "\n";
}

void sample(std::string& out, const char* name, const std::string& value, const char* labels = "") {
    if (!value.empty()) out += std::string(name) + labels + " " + value + "\n";
}

std::string flag(bool b) { return b ? "1" : "0"; }

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
    family(out, "ravelin_build_info", "gauge", "The program's version.");
    std::string label = "{version=\"";
    for (const char c : version) {
        if (c == '"' || c == '\\') label += '\\';
        label += c;
    }
    sample(out, "ravelin_build_info", "1", (label + "\"}").c_str());
    return out;
}

}  // namespace ravelin
