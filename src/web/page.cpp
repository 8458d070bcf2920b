#include "web/page.h"

#include <cstdlib>

#include "web/svg_writer.h"

namespace ravelin {
namespace {

// {{LANG}} becomes "ja" or "en" (the script picks its texts by the document's language);
// {{FOLDER}} and {{RECORD}} the log folder and the last record, escaped.
constexpr const char* kPage = R"PAGE(<!DOCTYPE html>
<html lang="{{LANG}}">
<head>
<meta charset="utf-8">
<meta name="viewport" content="width=device-width, initial-scale=1">
<title>Ravelin</title>
<style>
body{font-family:'IPAPGothic','IPAGothic','Noto Sans CJK JP',sans-serif;margin:0;padding:8px;background:#f4f4f0;color:#111}
h1{font-size:1.1em;margin:4px 0 8px}
.grid{display:grid;grid-template-columns:repeat(auto-fill,minmax(160px,1fr));gap:6px}
.card{background:#fff;border:1px solid #ccc;border-radius:6px;padding:6px 8px}
.label{font-size:.8em;color:#555}
.value{font-size:1.5em;font-variant-numeric:tabular-nums}
.small{font-size:.8em;color:#333;word-break:break-all}
.alarm-on{background:#ffd6d6;border-color:#d00}
img{width:100%;height:auto;background:#fff;border:1px solid #ccc;border-radius:6px;margin-top:8px}
#status{font-size:.8em;color:#a00}
</style>
</head>
<body>
<h1 id="title"></h1>
<div id="status"></div>
<div class="grid">
<div class="card"><div class="label" data-t="seconds"></div><div class="value" id="seconds">–</div></div>
<div class="card"><div class="label" data-t="total"></div><div class="value" id="total">–</div></div>
<div class="card"><div class="label">CPM</div><div class="value" id="cpm">–</div><div class="small" id="cpm-interval"></div></div>
<div class="card"><div class="label" data-t="dose"></div><div class="value" id="usv_h">–</div><div class="small" id="usv_h-interval"></div></div>
<div class="card" id="alarm1-card"><div class="label" data-t="alarm1"></div><div class="value" id="alarm1">–</div></div>
<div class="card" id="alarm2-card"><div class="label" data-t="alarm2"></div><div class="value" id="alarm2">–</div></div>
<div class="card"><div class="label" data-t="folder"></div><div class="small" id="folder">{{FOLDER}}</div></div>
<div class="card"><div class="label" data-t="record"></div><div class="small" id="record">{{RECORD}}</div></div>
</div>
<img id="trend" src="/trend.svg" alt="">
<img id="history" src="/history.svg" alt="">
<script>
"use strict";
const T = {
  ja: {title: "Ravelin 放射線モニター", seconds: "経過時間(Sec)", total: "総カウント数", dose: "シーベルト(μSV/h)",
       alarm1: "第一段警報", alarm2: "第二段警報", folder: "保存先", record: "最後の記録", on: "警報中", off: "なし",
       interval: "95%区間", lost: "接続が切れました。再接続しています…", trend: "リアルタイムグラフ", history: "線量率の履歴（直近1日）"},
  en: {title: "Ravelin radiation monitor", seconds: "Elapsed (s)", total: "Total count", dose: "Dose rate (µSv/h)",
       alarm1: "Alarm stage 1", alarm2: "Alarm stage 2", folder: "Log folder", record: "Last record", on: "FIRING", off: "off",
       interval: "95% interval", lost: "Connection lost; reconnecting…", trend: "Trend (600 s)", history: "Dose rate history (last day)"}
};
const t = T[document.documentElement.lang] || T.ja;
document.getElementById("title").textContent = t.title;
document.title = t.title;
for (const e of document.querySelectorAll("[data-t]")) e.textContent = t[e.dataset.t];
document.getElementById("trend").alt = t.trend;
document.getElementById("history").alt = t.history;
const set = (id, text) => { document.getElementById(id).textContent = text; };
const shown = v => (v === null || v === undefined) ? "–" : String(v);
let lastMinute = -1;
function show(s) {
  set("seconds", s.seconds); set("total", s.total); set("cpm", shown(s.cpm)); set("usv_h", shown(s.usv_h));
  set("cpm-interval", s.cpm_low === null ? "" : t.interval + " " + s.cpm_low + " – " + s.cpm_high);
  set("usv_h-interval", s.usv_h_low === null ? "" : t.interval + " " + s.usv_h_low + " – " + s.usv_h_high);
  for (const k of ["alarm1", "alarm2"]) {
    set(k, s[k] ? t.on : t.off);
    document.getElementById(k + "-card").classList.toggle("alarm-on", s[k]);
  }
  document.getElementById("trend").src = "/trend.svg?s=" + s.seconds;
  const minute = Math.floor(s.seconds / 60);
  if (minute !== lastMinute) { lastMinute = minute; document.getElementById("history").src = "/history.svg?m=" + minute; refreshLog(); }
}
// The log folder and the last record come with the page itself; a minute on, it is read again.
function refreshLog() {
  fetch("/").then(r => r.text()).then(html => {
    const d = new DOMParser().parseFromString(html, "text/html");
    for (const id of ["folder", "record"]) set(id, d.getElementById(id).textContent);
  }).catch(() => {});
}
const events = new EventSource("/events");
events.onmessage = m => { set("status", ""); show(JSON.parse(m.data)); };
events.onerror = () => set("status", t.lost);
</script>
</body>
</html>
)PAGE";

void fill(std::string& page, const std::string& key, const std::string& value) {
    const auto at = page.find(key);
    if (at != std::string::npos) page.replace(at, key.size(), value);
}

}  // namespace

bool prefersEnglish(const std::string& header) {
    // The language range with the highest q (the first of equals) decides: "en…" is English.
    double bestQ = -1;
    bool english = false;
    std::size_t at = 0;
    while (at <= header.size()) {
        std::size_t end = header.find(',', at);
        if (end == std::string::npos) end = header.size();
        std::string item = header.substr(at, end - at);
        at = end + 1;
        double q = 1;
        if (const auto semi = item.find(';'); semi != std::string::npos) {
            const auto qAt = item.find("q=", semi);
            if (qAt != std::string::npos) q = std::strtod(item.c_str() + qAt + 2, nullptr);
            item.resize(semi);
        }
        const auto first = item.find_first_not_of(" \t");
        if (first == std::string::npos) continue;
        item = item.substr(first, item.find_last_not_of(" \t") - first + 1);
        if (q > bestQ) {
            bestQ = q;
            english = item.size() >= 2 && (item[0] == 'e' || item[0] == 'E') && (item[1] == 'n' || item[1] == 'N') &&
                      (item.size() == 2 || item[2] == '-');
        }
    }
    return english;
}

std::string stationPage(bool english, const std::string& folder, const std::string& record) {
    std::string page = kPage;
    fill(page, "{{LANG}}", english ? "en" : "ja");
    fill(page, "{{FOLDER}}", xmlEscaped(folder.empty() ? (english ? "(working directory)" : "（作業フォルダ）") : folder));
    fill(page, "{{RECORD}}", record.empty() ? "–" : xmlEscaped(record));
    return page;
}

}  // namespace ravelin
