#include "app/report_json.h"

#include <nlohmann/json.hpp>

#include <cmath>
#include <cstdlib>

#include "reply/reply.h"
#include "sections/system/system.h"
#include "values/encoding.h"

namespace {

using Json = nlohmann::ordered_json;

// A text value in UTF-8; the empty text, which the report shows as nothing
// after its label, is null.
Json text(const Text& t) {
    if (t.empty()) return nullptr;
    return gbk_to_utf8(t);
}

// A number the report shows as text, perhaps with its unit ("64位",
// "2800MHz"): the number; null when empty; the text itself when it is not
// a number, so that nothing is lost.
Json number(const Text& t, const Text& unit = Text()) {
    Text v = t;
    if (!unit.empty() && v.size() >= unit.size() && v.compare(v.size() - unit.size(), unit.size(), unit) == 0)
        v.resize(v.size() - unit.size());
    if (v.empty()) return nullptr;
    const char* s = v.c_str();
    char* end = nullptr;
    if (v.find_first_not_of("-0123456789") == Text::npos && v.size() < 19) {
        const long long n = std::strtoll(s, &end, 10);
        if (*end == '\0' && end != s) return n;
    }
    const double d = std::strtod(s, &end);
    if (end != s && *end == '\0' && std::isfinite(d) && v.find_first_of("xXnN") == Text::npos) return d;
    return gbk_to_utf8(t);
}

Json whole(std::int64_t n) { return n; }

// A byte count held as a double: a whole number where it is one.
Json bytes(double d) {
    if (std::isfinite(d) && d == std::floor(d) && std::fabs(d) < 9.0e18) return static_cast<std::int64_t>(d);
    return d;
}

}  // namespace

std::string report_json(const ReportFacts& f) {
    Json j;
    const Text label = os_family_label(f.os_family);
    j["system"] = {
        {"os_version", text(f.os_caption)},
        {"os_bits", number(f.os_bitness, "位")},
        {"os_family", label.empty() ? Json(nullptr) : text(text_between(label, "：", " （"))},
        {"chassis", text(f.chassis)},
        {"chassis_maker", text(f.chassis_maker)},
        {"is_64bit", f.is_64bit},
        {"host_name", text(f.host)},
        {"user_name", text(f.user)},
    };
    j["processor"] = {
        {"name", text(f.cpu.name)},
        {"maker", text(f.cpu.maker)},
        {"socket", text(f.cpu.socket)},
        {"count", number(f.cpu.count)},
        {"data_width", number(f.cpu.width, "位")},
        {"signature", text(f.cpu_signature)},
        {"max_clock_mhz", number(f.cpu.clock, "MHz")},
        {"external_clock_mhz", number(f.cpu.external_clock, "MHz")},
        {"cores", number(f.cpu.cores)},
        {"threads", number(f.cpu.threads)},
    };
    j["display"] = {
        {"screens", whole(f.screens)},
        {"bits_per_pixel", whole(f.bits_per_pixel)},
        {"refresh_hz", whole(f.refresh)},
        {"width", whole(f.width)},
        {"height", whole(f.height)},
        {"taskbar_height", whole(f.taskbar)},
        {"monitor",
         {
             {"serial_number", text(f.monitor.serial_number)},
             {"id", text(f.monitor.monitor_id)},
             {"production_date", text(f.monitor.production_date)},
             {"brand", text(f.monitor.brand)},
             {"model", text(f.monitor.model)},
             {"size_inches", number(f.monitor.size_inches)},
             {"height_cm", number(f.monitor.height_cm)},
             {"width_cm", number(f.monitor.width_cm)},
         }},
    };
    Json modules = Json::array();
    for (const auto& m : f.memory.modules)
        modules.push_back({{"capacity_gb", whole(m.capacity_gb)},
                           {"capacity_bytes", bytes(m.capacity_bytes)},
                           {"speed_mhz", whole(m.speed)},
                           {"maker", text(m.maker)},
                           {"serial_number", text(m.serial)}});
    j["memory"] = {{"modules", modules}, {"count", number(f.memory.count)}};
    Json disks = Json::array();
    for (const auto& d : f.disks.disks)
        disks.push_back({{"model", text(d.model)},
                         {"capacity_gb", whole(d.capacity_gb)},
                         {"capacity_bytes", whole(d.capacity_bytes)},
                         {"interface", text(d.type)}});
    j["disks"] = {{"disks", disks}, {"count", number(f.disks.count)}};
    j["video_controller"] = {
        {"name", text(f.video.name)},
        {"memory_bytes", number(f.video.memory)},
        {"maker", text(f.video.maker)},
        {"driver_version", text(f.video.driver)},
        {"count", number(f.video.count)},
    };
    j["motherboard"] = {
        {"brand", text(f.board.brand)},
        {"product", text(f.board.product)},
        {"model", text(f.board.model)},
    };
    j["elapsed_seconds"] = static_cast<double>(f.elapsed_ms) / 1000.0;
    return j.dump(2, ' ', false, Json::error_handler_t::replace) + "\n";
}
