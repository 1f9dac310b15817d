#include "gps_track.h"

#include <algorithm>
#include <charconv>
#include <fstream>
#include <sstream>

namespace tessavo::cli {
namespace {

constexpr int64_t kMicro = 1000000;

// Days since 1970-01-01 of a civil date (proleptic Gregorian).
int64_t DaysFromCivil(int64_t y, int64_t m, int64_t d) {
    y -= m <= 2 ? 1 : 0;
    const int64_t era = (y >= 0 ? y : y - 399) / 400;
    const int64_t yoe = y - era * 400;
    const int64_t doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + doe - 719468;
}

std::optional<double> Number(std::string_view text) {
    double value = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (ec != std::errc() || end != text.data() + text.size()) return std::nullopt;
    return value;
}

std::optional<int64_t> Digits(std::string_view text, size_t at, size_t count) {
    if (at + count > text.size()) return std::nullopt;
    int64_t value = 0;
    for (size_t i = at; i < at + count; ++i) {
        if (text[i] < '0' || text[i] > '9') return std::nullopt;
        value = value * 10 + (text[i] - '0');
    }
    return value;
}

// Microseconds of the seconds field "ss" or "ss.ffff" at `at`.
std::optional<int64_t> SecondsField(std::string_view text) {
    auto seconds = Number(text);
    if (!seconds || *seconds < 0 || *seconds >= 61) return std::nullopt;
    return static_cast<int64_t>(*seconds * kMicro + 0.5);
}

// "2024-05-14T01:59:42Z" or with a fraction of a second; UTC only.
std::optional<int64_t> IsoUtc(std::string_view text) {
    if (text.size() < 20 || text.back() != 'Z' || text[10] != 'T') return std::nullopt;
    auto y = Digits(text, 0, 4), mo = Digits(text, 5, 2), d = Digits(text, 8, 2);
    auto h = Digits(text, 11, 2), mi = Digits(text, 14, 2);
    auto s = SecondsField(text.substr(17, text.size() - 18));
    if (!y || !mo || !d || !h || !mi || !s) return std::nullopt;
    return (DaysFromCivil(*y, *mo, *d) * 86400 + *h * 3600 + *mi * 60) * kMicro + *s;
}

std::string_view Attribute(std::string_view tag, std::string_view name) {
    for (size_t at = tag.find(name); at != std::string_view::npos; at = tag.find(name, at + 1)) {
        const bool starts = at > 0 && (tag[at - 1] == ' ' || tag[at - 1] == '\t' ||
                                       tag[at - 1] == '\n' || tag[at - 1] == '\r');
        size_t eq = at + name.size();
        if (!starts || eq + 1 >= tag.size() || tag[eq] != '=') continue;
        const char quote = tag[eq + 1];
        const size_t end = tag.find(quote, eq + 2);
        if ((quote != '"' && quote != '\'') || end == std::string_view::npos) continue;
        return tag.substr(eq + 2, end - eq - 2);
    }
    return {};
}

std::vector<std::string_view> Fields(std::string_view sentence) {
    std::vector<std::string_view> fields;
    size_t start = 0;
    for (size_t i = 0; i <= sentence.size(); ++i) {
        if (i == sentence.size() || sentence[i] == ',') {
            fields.push_back(sentence.substr(start, i - start));
            start = i + 1;
        }
    }
    return fields;
}

// "ddmm.mmmm" (latitude) or "dddmm.mmmm" (longitude) with its hemisphere, in degrees.
std::optional<double> Angle(std::string_view value, std::string_view hemisphere, size_t degrees) {
    if (value.size() <= degrees) return std::nullopt;
    auto whole = Digits(value, 0, degrees);
    auto minutes = Number(value.substr(degrees));
    if (!whole || !minutes) return std::nullopt;
    const double angle = static_cast<double>(*whole) + *minutes / 60.0;
    if (hemisphere == "S" || hemisphere == "W") return -angle;
    if (hemisphere == "N" || hemisphere == "E") return angle;
    return std::nullopt;
}

// Microseconds into the day of "hhmmss" or "hhmmss.ss".
std::optional<int64_t> TimeOfDay(std::string_view text) {
    auto h = Digits(text, 0, 2), m = Digits(text, 2, 2);
    auto s = text.size() > 4 ? SecondsField(text.substr(4)) : std::nullopt;
    if (!h || !m || !s) return std::nullopt;
    return (*h * 3600 + *m * 60) * kMicro + *s;
}

bool ChecksumGood(std::string_view line, std::string_view& body) {
    const size_t star = line.find('*');
    if (line.empty() || line[0] != '$' || star == std::string_view::npos || star + 3 > line.size()) {
        return false;
    }
    body = line.substr(1, star - 1);
    unsigned sum = 0;
    for (char c : body) sum ^= static_cast<unsigned char>(c);
    unsigned given = 0;
    const auto [end, ec] = std::from_chars(line.data() + star + 1, line.data() + star + 3, given, 16);
    return ec == std::errc() && end == line.data() + star + 3 && given == sum;
}

// The first fix at or after `utc`.
std::vector<GpsFix>::const_iterator FirstFrom(const std::vector<GpsFix>& fixes, int64_t utc) {
    return std::lower_bound(fixes.begin(), fixes.end(), utc,
                            [](const GpsFix& fix, int64_t t) { return fix.utcMicroseconds < t; });
}

}  // namespace

void GpsTrack::ParseGpx(std::string_view text) {
    for (size_t at = text.find("<trkpt"); at != std::string_view::npos;
         at = text.find("<trkpt", at + 1)) {
        const size_t tagEnd = text.find('>', at);
        const size_t close = text.find("</trkpt>", at);
        if (tagEnd == std::string_view::npos || close == std::string_view::npos) return;
        const std::string_view tag = text.substr(at, tagEnd - at);
        const std::string_view body = text.substr(tagEnd, close - tagEnd);
        const size_t t0 = body.find("<time>");
        const size_t t1 = body.find("</time>");
        auto lat = Number(Attribute(tag, "lat"));
        auto lon = Number(Attribute(tag, "lon"));
        if (!lat || !lon || t0 == std::string_view::npos || t1 == std::string_view::npos || t1 < t0) {
            continue;
        }
        if (auto when = IsoUtc(body.substr(t0 + 6, t1 - t0 - 6))) {
            fixes_.push_back({*when, *lat, *lon});
        }
    }
}

void GpsTrack::ParseNmea(std::string_view text) {
    std::optional<int64_t> day;  // microseconds of the last RMC date's midnight
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string_view::npos) end = text.size();
        std::string_view line = text.substr(start, end - start);
        start = end + 1;
        while (!line.empty() && (line.back() == '\r' || line.back() == ' ')) line.remove_suffix(1);
        std::string_view body;
        if (!ChecksumGood(line, body) || body.size() < 6) continue;
        const std::vector<std::string_view> f = Fields(body);
        const std::string_view kind = body.substr(2, 3);
        if (kind == "RMC" && f.size() >= 10 && f[2] == "A") {
            auto d = Digits(f[9], 0, 2), m = Digits(f[9], 2, 2), y = Digits(f[9], 4, 2);
            auto tod = TimeOfDay(f[1]);
            auto lat = Angle(f[3], f[4], 2), lon = Angle(f[5], f[6], 3);
            if (!d || !m || !y || !tod || !lat || !lon) continue;
            day = DaysFromCivil(2000 + *y, *m, *d) * 86400 * kMicro;
            fixes_.push_back({*day + *tod, *lat, *lon});
        } else if (kind == "GGA" && f.size() >= 7 && day) {
            auto tod = TimeOfDay(f[1]);
            auto lat = Angle(f[2], f[3], 2), lon = Angle(f[4], f[5], 3);
            auto quality = Digits(f[6], 0, 1);
            if (!tod || !lat || !lon || !quality || *quality == 0) continue;
            fixes_.push_back({*day + *tod, *lat, *lon});
        }
    }
}

bool GpsTrack::Parse(std::string_view text) {
    fixes_.clear();
    const size_t first = text.find_first_not_of(" \t\r\n\xEF\xBB\xBF");
    if (first != std::string_view::npos && text[first] == '<') {
        ParseGpx(text);
    } else {
        ParseNmea(text);
    }
    std::stable_sort(fixes_.begin(), fixes_.end(), [](const GpsFix& a, const GpsFix& b) {
        return a.utcMicroseconds < b.utcMicroseconds;
    });
    fixes_.erase(std::unique(fixes_.begin(), fixes_.end(),
                             [](const GpsFix& a, const GpsFix& b) {
                                 return a.utcMicroseconds == b.utcMicroseconds;
                             }),
                 fixes_.end());
    return !fixes_.empty();
}

bool GpsTrack::Read(const std::string& path, std::string& error) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        error = "cannot open the track '" + path + "'";
        return false;
    }
    std::ostringstream text;
    text << in.rdbuf();
    if (!Parse(text.str())) {
        error = "no GPS fix in '" + path + "' (GPX 1.1 track points or NMEA RMC/GGA sentences)";
        return false;
    }
    return true;
}

void GpsTrack::Add(const GpsFix& fix) {
    const auto at = fixes_.begin() + (FirstFrom(fixes_, fix.utcMicroseconds) - fixes_.cbegin());
    if (at == fixes_.end() || at->utcMicroseconds != fix.utcMicroseconds) fixes_.insert(at, fix);
}

std::optional<Position> GpsTrack::Locate(int64_t utc, double maxGapSeconds) const {
    const auto after = FirstFrom(fixes_, utc);
    if (after == fixes_.end()) return std::nullopt;
    if (after->utcMicroseconds == utc) return Position{after->latitude, after->longitude};
    if (after == fixes_.begin()) return std::nullopt;
    const GpsFix& before = *(after - 1);
    const double gap = static_cast<double>(after->utcMicroseconds - before.utcMicroseconds);
    if (gap > maxGapSeconds * kMicro) return std::nullopt;
    const double share = static_cast<double>(utc - before.utcMicroseconds) / gap;
    return Position{before.latitude + (after->latitude - before.latitude) * share,
                    before.longitude + (after->longitude - before.longitude) * share};
}

}  // namespace tessavo::cli
