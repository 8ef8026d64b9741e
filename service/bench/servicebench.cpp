// Drives a running verbolix-service over loopback with a bounded number of requests per
// kind and prints requests per second and latency percentiles. Used by scripts/bench-service.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <httplib.h>
#include <random>
#include <string>
#include <vector>

namespace {

const std::string key = VERBOLIX_LICENCE_KEY;

struct Figures
{
    std::vector<double> micros;        // round trip as the client sees it
    std::vector<double> serviceMicros; // inside the service (X-Service-Time-Us)
    size_t failures = 0;
};

long long firstNumber(const std::string& body, const std::string& element, size_t from = 0)
{
    const std::string open = "<" + element + ">";
    const size_t at = body.find(open, from);
    return at == std::string::npos ? -1 : std::atoll(body.c_str() + at + open.size());
}

long long lastNumber(const std::string& body, const std::string& element)
{
    const std::string open = "<" + element + ">";
    const size_t at = body.rfind(open);
    return at == std::string::npos ? -1 : std::atoll(body.c_str() + at + open.size());
}

void print(const char* name, Figures& figures)
{
    std::vector<double>& m = figures.micros;
    std::sort(m.begin(), m.end());
    std::vector<double>& s = figures.serviceMicros;
    std::sort(s.begin(), s.end());
    double sum = 0;
    for (const double v : m)
        sum += v;
    const auto at = [&m](double q) {
        return m.empty() ? 0.0 : m[std::min(m.size() - 1, size_t(q * m.size()))];
    };
    const auto serviceAt = [&s](double q) {
        return s.empty() ? 0.0 : s[std::min(s.size() - 1, size_t(q * s.size()))];
    };
    std::printf("%-32s %5zu req %7.0f req/s | round trip p50 %7.1f us  p99 %7.1f us  mean %7.1f us | "
                "in service p50 %6.1f us  p99 %6.1f us%s\n",
                name, m.size(), sum > 0 ? m.size() / (sum / 1e6) : 0.0, at(0.5), at(0.99),
                m.empty() ? 0.0 : sum / m.size(), serviceAt(0.5), serviceAt(0.99),
                figures.failures ? "  FAILURES" : "");
}

template <typename Next> Figures run(httplib::Client& client, int requests, Next next)
{
    Figures figures;
    for (int i = 0; i < requests; ++i) {
        const std::string target = next(i);
        const auto begin = std::chrono::steady_clock::now();
        const httplib::Result result = client.Get(target);
        const auto end = std::chrono::steady_clock::now();
        if (!result || result->status != 200) {
            ++figures.failures;
            continue;
        }
        figures.micros.push_back(std::chrono::duration<double, std::micro>(end - begin).count());
        if (result->has_header("X-Service-Time-Us"))
            figures.serviceMicros.push_back(std::atof(result->get_header_value("X-Service-Time-Us").c_str()));
        next.answer(result->body);
    }
    return figures;
}

struct SearchPages
{
    std::string base;
    long long total;
    std::mt19937* random;
    std::string operator()(int)
    {
        std::uniform_int_distribution<long long> start(0, std::max<long long>(total - 200, 0));
        return base + "&start=" + std::to_string(start(*random)) + "&rows=200";
    }
    void answer(const std::string&) {}
};

// Continues through the list page by page, as the client's hit list does when scrolled.
struct EntriesAfter
{
    std::string base;
    long long order = -1;
    std::string operator()(int) { return base + "&start=" + std::to_string(order) + "&rows=200"; }
    void answer(const std::string& body)
    {
        const long long last = lastNumber(body, "order");
        order = last < 0 ? -1 : last;
    }
};

struct Fixed
{
    std::vector<std::string> targets;
    std::string operator()(int i) { return targets[size_t(i) % targets.size()]; }
    void answer(const std::string&) {}
};

} // namespace

int main(int argc, char** argv)
{
    if (argc < 2) {
        std::fprintf(stderr, "usage: verbolix-service-bench PORT [REQUESTS]\n");
        return 2;
    }
    const int port = std::atoi(argv[1]);
    const int requests = argc > 2 ? std::max(1, std::atoi(argv[2])) : 2000;
    httplib::Client client("127.0.0.1", port);
    client.set_keep_alive(true);
    client.set_tcp_nodelay(true);
    client.set_read_timeout(30, 0);
    std::mt19937 random(2026);

    const std::string search = "/1.0/search?licenceKey=" + key;
    const auto totalOf = [&client](const std::string& target) {
        const httplib::Result result = client.Get(target + "&start=0&rows=0");
        return result ? firstNumber(result->body, "total") : -1;
    };

    const std::string all = search + "&query=%2a";
    const std::string subset = search + "&query=%2a&dictionaryId=9000&dictionaryId=70";
    const std::string prefix = search + "&query=ka";
    std::printf("result lists: \"*\" %lld hits, \"*\" in dictionaries 9000+70 %lld, \"ka\" %lld\n\n",
                totalOf(all), totalOf(subset), totalOf(prefix));

    Figures f = run(client, requests, SearchPages{all, totalOf(all), &random});
    print("search page, \"*\", random start", f);
    f = run(client, requests, SearchPages{subset, totalOf(subset), &random});
    print("search page, 2 dictionaries", f);
    f = run(client, requests, SearchPages{prefix, totalOf(prefix), &random});
    print("search page, prefix \"ka\"", f);
    f = run(client, requests, EntriesAfter{"/1.0/search/entries-after?licenceKey=" + key + "&query=%2a"});
    print("entries-after, \"*\", continuing", f);
    f = run(client, requests,
            EntriesAfter{"/1.0/search/entries-after?licenceKey=" + key +
                         "&query=%2a&dictionaryId=9000&dictionaryId=70"});
    print("entries-after, 2 dictionaries", f);
    f = run(client, requests,
            Fixed{{"/1.0/search/entry-index?licenceKey=" + key + "&headword=mi%2a",
                   "/1.0/search/entry-index?licenceKey=" + key +
                       "&headword=%c5%bea%2a&query=%2a&dictionaryId=9000",
                   "/1.0/search/entry-index?licenceKey=" + key + "&headword=kra%2a&query=k"}});
    print("entry-index", f);
    f = run(client, requests,
            Fixed{{"/1.0/search/get-entry?licenceKey=" + key + "&dictionaryId=9000&entryId=12345",
                   "/1.0/search/get-entry?licenceKey=" + key + "&dictionaryId=9000&entryId=400000"}});
    print("get-entry", f);
    f = run(client, 1, Fixed{{search + "&query=%2ak%3fa&start=0&rows=200"}});
    print("wildcard \"*k?a\", first (scan)", f);
    f = run(client, requests, Fixed{{search + "&query=%2ak%3fa&start=0&rows=200"}});
    print("wildcard \"*k?a\", cached", f);
    return 0;
}
