#include "ui/SteeringLogic.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <limits>

namespace kanvio {

namespace {

bool ParseNumber(const std::string& text, int64_t& value) {
    const char* end = text.data() + text.size();
    const auto [ptr, error] = std::from_chars(text.data(), end, value);
    return error == std::errc() && ptr == end && !text.empty();
}

} // namespace

std::string FormatRangeTime(int64_t seconds, double linearFactor) {
    const double factor = linearFactor > 0 && std::isfinite(linearFactor) ? linearFactor : 1.0;
    const double scaled = std::trunc(static_cast<double>(seconds) / factor);
    const int64_t s =
        static_cast<int64_t>(std::clamp(scaled, double(std::numeric_limits<int32_t>::min()),
                                        double(std::numeric_limits<int32_t>::max())));
    const int64_t h = s / 3600;
    const int64_t m = s / 60 - 60 * h;
    const int64_t sec = s - 3600 * h - 60 * m;
    char text[64];
    std::snprintf(text, sizeof text, "%2lld:%02lld:%02lld", static_cast<long long>(h),
                  static_cast<long long>(m), static_cast<long long>(sec));
    std::string result = text;
    for (size_t at : {size_t{0}, size_t{3}, size_t{6}}) {
        if (at < result.size() && result[at] == ' ') {
            result[at] = '0';
        }
    }
    return result;
}

int64_t SeekTolerance(float playSpeed) {
    constexpr int64_t kTwoSeconds = 2;
    return static_cast<int64_t>(std::ceil(static_cast<double>(kTwoSeconds) * playSpeed));
}

std::vector<TFilmPart> ParseFilmParts(const std::vector<std::string>& entries) {
    std::vector<TFilmPart> parts;
    for (const std::string& entry : entries) {
        const size_t equals = entry.find('=');
        TFilmPart part;
        if (equals != std::string::npos && ParseNumber(entry.substr(0, equals), part.Start) &&
            ParseNumber(entry.substr(equals + 1), part.Stop)) {
            parts.push_back(part);
        }
    }
    return parts;
}

std::vector<TStripSpan> FilmPartSpans(const std::vector<TFilmPart>& parts, int64_t minimum,
                                      int64_t maximum, int width) {
    if (width <= 0 || parts.empty()) {
        return {};
    }
    if (maximum <= minimum) {
        return {TStripSpan{0, width}};
    }
    const double scale = static_cast<double>(width) / static_cast<double>(maximum - minimum);
    std::vector<TStripSpan> spans;
    for (const TFilmPart& part : parts) {
        auto pixel = [&](int64_t time) {
            const double x = std::nearbyint(static_cast<double>(time - minimum) * scale);
            return static_cast<int>(std::clamp(x, 0.0, static_cast<double>(width)));
        };
        const int left = pixel(part.Start);
        const int right = pixel(part.Stop);
        if (right > left) {
            spans.push_back({left, right});
        }
    }
    return spans;
}

int ClampToSlider(int64_t value) {
    return static_cast<int>(std::clamp<int64_t>(value, std::numeric_limits<int>::min(),
                                                std::numeric_limits<int>::max()));
}

} // namespace kanvio
