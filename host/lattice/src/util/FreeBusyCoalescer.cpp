#include "Lattice/DateTimeUtil.h"
#include "Lattice/Util.h"

#include <algorithm>
#include <map>

namespace Lattice {

namespace {

// Epoch seconds of local midnight of `date` in `zone` (GMT when null).
int64_t midnight(const _DateData& date, const _TimeZoneData* zone) {
    _DateTimeData local = DateTimeUtil::convertToDateTime(date);
    if (zone)
        local.zoneOffset = zone->biasAt(local);
    return DateTimeUtil::toEpochSeconds(local);
}

bool usableDate(const _DateData& d) {
    return d.isSet() && DateTimeUtil::isValid(DateTimeUtil::convertToDateTime(d));
}

int64_t floorDiv(int64_t a, int64_t b) {
    int64_t q = a / b;
    return (a % b != 0 && ((a < 0) != (b < 0))) ? q - 1 : q;
}

void appendStamp(std::string& out, int64_t seconds) {
    _DateTimeData v = DateTimeUtil::fromEpochSeconds(seconds);
    String s = String::format("%04d-%02d-%02dT%02d:%02d:%02dZ", v.fullYear(), v.month, v.day, v.hour,
                              v.minute, v.second);
    out += s.str();
}

} // namespace

FreeBusyCoalescer::FreeBusyCoalescer(const _DateData& start, const _DateData& end, long granularity,
                                     const _TimeZoneData* timeZone)
    : granularity_(granularity) {
    if (!usableDate(start) || !usableDate(end))
        return; // an empty window takes no span
    _DurationData oneDay;
    oneDay.days = 1;
    _DateData after = DateTimeUtil::addToDate(end, oneDay);
    windowStart_ = midnight(start, timeZone);
    windowEnd_ = after.isSet() ? midnight(after, timeZone)
                               : DateTimeUtil::toEpochSeconds(DateTimeUtil::convertToDateTime(end)) + 86400;
    if (windowEnd_ < windowStart_)
        windowEnd_ = windowStart_;
}

bool FreeBusyCoalescer::add(const _DateTimeData& start, const _DateTimeData& end, long status) {
    if (status <= 0 || !start.isSet() || !end.isSet() ||
        !DateTimeUtil::isValid(_TimeZoneData::normalize(start)) ||
        !DateTimeUtil::isValid(_TimeZoneData::normalize(end)))
        return false;
    int64_t s = DateTimeUtil::toEpochSeconds(start);
    int64_t e = DateTimeUtil::toEpochSeconds(end);
    if (e <= s)
        return false;
    if (granularity_ > 0) {
        const int64_t block = int64_t{std::min(granularity_, 1000000L)} * 60;
        s = windowStart_ + floorDiv(s - windowStart_, block) * block;
        e = windowStart_ - floorDiv(windowStart_ - e, block) * block;
    }
    s = std::max(s, windowStart_);
    e = std::min(e, windowEnd_);
    if (e <= s)
        return false;
    spans_.push_back({s, e, status});
    return true;
}

std::vector<FreeBusyCoalescer::Span> FreeBusyCoalescer::merged() const {
    // Sweep the span edges, keeping the statuses in force; each piece between two edges takes
    // the highest one, and neighbouring pieces of one status join.
    std::vector<std::pair<int64_t, const Span*>> edges;
    edges.reserve(spans_.size() * 2);
    for (const Span& sp : spans_) {
        edges.emplace_back(sp.start, &sp);
        edges.emplace_back(sp.end, &sp);
    }
    std::sort(edges.begin(), edges.end(), [](const auto& a, const auto& b) { return a.first < b.first; });

    std::vector<Span> out;
    std::map<long, int> active;
    std::size_t i = 0;
    while (i < edges.size()) {
        const int64_t at = edges[i].first;
        for (; i < edges.size() && edges[i].first == at; ++i) {
            const Span* sp = edges[i].second;
            if (sp->start == at) {
                ++active[sp->status];
            } else {
                auto it = active.find(sp->status);
                if (--it->second == 0)
                    active.erase(it);
            }
        }
        if (i == edges.size())
            break;
        const int64_t next = edges[i].first;
        if (active.empty())
            continue;
        const long status = active.rbegin()->first;
        if (!out.empty() && out.back().end == at && out.back().status == status)
            out.back().end = next;
        else
            out.push_back({at, next, status});
    }
    return out;
}

void FreeBusyCoalescer::addToString(String& out) const {
    std::string text;
    for (const Span& sp : merged()) {
        if (!text.empty())
            text += ';';
        appendStamp(text, sp.start);
        text += '/';
        appendStamp(text, sp.end);
        text += '/';
        text += std::to_string(sp.status);
    }
    out += String(std::move(text));
}

void FreeBusyCoalescer::clear() {
    spans_.clear();
}

} // namespace Lattice
