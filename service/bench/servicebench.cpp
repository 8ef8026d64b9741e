// Drives a running verbolix-service over loopback with a bounded number of requests per
// kind and prints requests per second and latency percentiles. Used by scripts/bench-service.
//   verbolix-service-bench PORT [REQUESTS]         the request mix
//   verbolix-service-bench --held PORT IDLE SLOW   normal requests while IDLE idle keep-alive
//                                                  and SLOW byte-a-second connections are open
//   verbolix-service-bench --write-dictd DIR N ENTRIES   N dictd dictionaries to discover
//   verbolix-service-bench --time-start PROGRAM ARGS...   start-up until "listening on"
#include <algorithm>
#include <arpa/inet.h>
#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <httplib.h>
#include <netinet/in.h>
#include <random>
#include <sstream>
#include <string>
#include <sys/socket.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
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

int connectTo(int port)
{
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_port = htons(static_cast<uint16_t>(port));
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (fd >= 0 && ::connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0) {
        ::close(fd);
        return -1;
    }
    return fd;
}

double secondsSince(std::chrono::steady_clock::time_point begin)
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - begin).count();
}

// Opens the idle connections (every other one after one request on it) and the slow ones (a
// header byte a second, for at most 40 s), then makes normal requests on fresh connections,
// one after another, for 10 s or 20 requests, and prints their latency.
int held(int port, int idle, int slow)
{
    std::vector<int> idleFds;
    const std::string request =
        "GET /1.0/messages?language=sl&version=2.0&lastMessageId=0 HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n";
    for (int i = 0; i < idle; ++i) {
        const int fd = connectTo(port);
        if (fd < 0)
            continue;
        if (i % 2 == 0) {
            ::send(fd, request.data(), request.size(), MSG_NOSIGNAL);
            char buffer[4096];
            timeval timeout{0, 200000}; // whatever arrives in time; the connection stays open
            ::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &timeout, sizeof timeout);
            (void)::recv(fd, buffer, sizeof buffer, 0);
        }
        idleFds.push_back(fd);
    }
    std::vector<int> slowFds;
    const std::string start = "GET /1.0/dictionary/list HTTP/1.1\r\nX-Slow: ";
    for (int i = 0; i < slow; ++i)
        if (const int fd = connectTo(port); fd >= 0) {
            ::send(fd, start.data(), start.size(), MSG_NOSIGNAL);
            slowFds.push_back(fd);
        }
    std::atomic<bool> stop{false};
    std::thread sender([&] {
        const auto begin = std::chrono::steady_clock::now();
        while (!stop && secondsSince(begin) < 40) {
            for (const int fd : slowFds)
                ::send(fd, "a", 1, MSG_NOSIGNAL | MSG_DONTWAIT);
            for (int i = 0; i < 10 && !stop; ++i)
                std::this_thread::sleep_for(std::chrono::milliseconds(100));
        }
    });
    std::printf("open: %zu idle keep-alive connections, %zu sending a header byte a second\n", idleFds.size(),
                slowFds.size());

    std::vector<double> millis;
    int failures = 0;
    const auto begin = std::chrono::steady_clock::now();
    while (millis.size() + failures < 20 && secondsSince(begin) < 10) {
        httplib::Client client("127.0.0.1", port);
        client.set_read_timeout(60, 0);
        const auto sent = std::chrono::steady_clock::now();
        const httplib::Result result = client.Get("/1.0/dictionary/list?licenceKey=" + key);
        if (result && result->status == 200)
            millis.push_back(secondsSince(sent) * 1000);
        else
            ++failures;
    }
    stop = true;
    sender.join();
    std::sort(millis.begin(), millis.end());
    if (millis.empty())
        std::printf("normal requests meanwhile: none answered, %d failed\n", failures);
    else
        std::printf("normal requests meanwhile: %zu answered, %d failed; latency median %.1f ms, max %.1f ms "
                    "(target < 50 ms)\n",
                    millis.size(), failures, millis[millis.size() / 2], millis.back());
    // The connections stay open: the script times SIGTERM with them held, then ends this.
    std::printf("holding\n");
    std::fflush(stdout);
    std::this_thread::sleep_for(std::chrono::seconds(120));
    return 0;
}

std::string dictdNumber(uint64_t value)
{
    static const char digits[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string out;
    do {
        out.insert(out.begin(), digits[value % 64]);
        value /= 64;
    } while (value > 0);
    return out;
}

// Dictionaries like FreeDict's: words of 4 to 12 letters, a short text each.
int writeDictd(const std::string& folder, int count, int entries)
{
    std::filesystem::create_directories(folder);
    std::mt19937 random(7);
    const std::vector<std::string> letters = {"a", "b", "c", "č", "d", "e", "f", "g", "h", "i", "j", "k", "l",
                                              "m", "n", "o", "p", "r", "s", "š", "t", "u", "v", "z", "ž"};
    for (int d = 0; d < count; ++d) {
        const std::string base = folder + "/bench-" + std::to_string(d) + "-slv-eng";
        std::string data = "00-database-short\n   Bench dictionary " + std::to_string(d) + "\n";
        std::string index = "00-database-short\tA\t" + dictdNumber(data.size()) + "\n";
        for (int i = 0; i < entries; ++i) {
            std::string word;
            for (int n = 4 + int(random() % 9); n > 0; --n) {
                word += letters[random() % letters.size()];
            }
            const std::string text = word + "\n  a translation of " + word + "\n";
            index += word + "\t" + dictdNumber(data.size()) + "\t" + dictdNumber(text.size()) + "\n";
            data += text;
        }
        std::ofstream(base + ".index", std::ios::binary) << index;
        std::ofstream(base + ".dict", std::ios::binary) << data;
    }
    return 0;
}

// Starts the program with its stdout on a pipe and times it from fork to its start-up line
// (a shell polling a file would add its own forks to the figure); prints that, the processor
// time and the memory then, and ends the program with SIGTERM.
int timeStart(char** command)
{
    int out[2];
    if (::pipe(out) != 0)
        return 1;
    const auto begin = std::chrono::steady_clock::now();
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::dup2(out[1], 1);
        ::close(out[0]);
        ::close(out[1]);
        ::execv(command[0], command);
        ::_exit(127);
    }
    ::close(out[1]);
    std::string line;
    char buffer[256];
    while (line.find('\n') == std::string::npos) {
        const ssize_t n = ::read(out[0], buffer, sizeof buffer);
        if (n <= 0)
            break;
        line.append(buffer, static_cast<size_t>(n));
    }
    const double seconds = secondsSince(begin);
    std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
    std::string statLine;
    std::getline(stat, statLine);
    double cpu = -1;
    if (const size_t close = statLine.rfind(')'); close != std::string::npos) {
        std::istringstream fields(statLine.substr(close + 2));
        std::string field;
        unsigned long long utime = 0;
        unsigned long long stime = 0;
        for (int i = 3; i <= 15 && fields >> field; ++i) {
            if (i == 14)
                utime = std::stoull(field);
            if (i == 15)
                stime = std::stoull(field);
        }
        cpu = double(utime + stime) / double(::sysconf(_SC_CLK_TCK));
    }
    long rssKib = 0;
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    for (std::string l; std::getline(status, l);)
        if (l.rfind("VmRSS:", 0) == 0)
            rssKib = std::atol(l.c_str() + 6);
    ::kill(pid, SIGTERM);
    int wstatus = 0;
    ::waitpid(pid, &wstatus, 0);
    ::close(out[0]);
    if (line.rfind("listening on", 0) != 0) {
        std::printf("did not start\n");
        return 1;
    }
    std::printf("ready after %.3f s, %.3f s of processor time, memory %ld MiB\n", seconds, cpu,
                rssKib / 1024);
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc >= 3 && std::string(argv[1]) == "--time-start")
        return timeStart(argv + 2);
    if (argc >= 5 && std::string(argv[1]) == "--held")
        return held(std::atoi(argv[2]), std::atoi(argv[3]), std::atoi(argv[4]));
    if (argc >= 5 && std::string(argv[1]) == "--write-dictd")
        return writeDictd(argv[2], std::atoi(argv[3]), std::atoi(argv[4]));
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
