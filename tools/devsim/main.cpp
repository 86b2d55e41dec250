// kovra-devsim: a simulated measuring board on a pseudo-terminal.

#include "Deadline.h"
#include "DevSimBoard.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <getopt.h>
#include <string>
#include <unistd.h>

namespace {

const char kHelp[] = R"(Usage: kovra-devsim [OPTION]...
A simulated measuring board on a pseudo-terminal, for KovraPlotter and other programs that
read a serial port. The first line it prints is the path of the port side (for example
/dev/pts/3); open that path as the serial port, or map a port name to it with
  kovraplotter --port-map COM1=/dev/pts/3
It then writes to the port until it is stopped (Ctrl+C) or hangs up.

Generated sets (the default): one value per channel, each printed as "%0.3f" would print it,
separated by spaces and ended by '#', CR and LF, for example "1.234 -0.500 2.000#"; or one
set per line in another --format.
  -c, --channels N          number of channels, 1 to 10 (default 3)
  -w, --waves LIST          waveforms of channel 1, 2, ... from sine, square, sawtooth and
                            noise, separated by commas; the list repeats for further
                            channels (default sine,square,sawtooth)
  -r, --rate SETS           sets per second (default 50); 0 sends them as fast as the port
                            takes them
  -p, --period SETS         sets per period of channel 1 (default 100); channel k takes
                            1 + (k-1)/2 times as long
  -a, --amplitude A         peak value of every channel (default 2)
  -s, --seed N              seed of the noise (default 1)
  -F, --format FORMAT       how a set is printed: hash (the default, above), or one set per
                            line ended by CR and LF, as a sketch that prints one reading per
                            line does: spaces ("1.234 -0.500 2.000"), csv ("1.234,-0.500,
                            2.000"), tsv (separated by TABs) or labels (name:value fields
                            named after the waveforms: "sine:1.234 square:-0.500
                            sawtooth:2.000"; a name that repeats gets a number, sine2)
  -e, --line-ended          the same as --format spaces
  -g, --gap-every N         with a line format, leave one value out of every Nth set, of
                            channel 1 the first time, then of channel 2, and so on: "nan"
                            with spaces, an empty field with csv and tsv, no field with labels
  -n, --sets-per-write N    with --rate, write the sets N at a time, every N/SETS seconds,
                            as a board that buffers its output does (default 1)
  -N, --sets N              stop after N sets and stay idle, the port still open (sets
                            paced by --rate or sent as fast as the port takes them)
  -T, --send-for S          send for S seconds (after --delay), then stay idle, the port still
                            open; what was sent is printed on standard error when stopped
  -d, --delay S             write nothing for the first S seconds (time to open the port:
                            what is written before that is discarded by the opening)
  -b, --byte-rate BYTES     pace generated sets by their length instead, as a line of that
                            speed carries them: 5760 is about what 57600 bps carries, 11520
                            what 115200 bps carries

Replaying a file:
  -f, --replay FILE         send FILE byte for byte instead of generated sets, at
                            --byte-rate bytes per second (default 0: as fast as the port
                            takes them)
  -l, --loop                start the file again when it ends (otherwise the board stays
                            idle once it has been sent)

A line without flow control:
  -o, --overrun             never wait for the reader; drop what does not fit in the
                            receive buffer and count it, as a UART overruns (needs a rate)
  -q, --receive-buffer N    bytes the port side holds unread before writes are dropped
                            (default 4096)
A real serial port without flow control loses the bytes that arrive while its receive buffer
is full. A pseudo-terminal loses nothing (it stops the writer instead), so the board models
the loss itself: before each write it asks how many bytes wait unread on the port side, and
drops the whole write when they and the write would exceed the receive buffer. (A write shows
there a moment after it is made, so on a busy machine the buffer may take a little more.) At
115200 bps (--byte-rate 11520) a reader that stops reading has about a third of a second
before 4096 bytes are full. The board prints
  sent BYTES bytes in SETS sets, dropped BYTES bytes in SETS sets
when it stops and, in any mode, whenever it receives SIGUSR1; a set is counted by its '#' (by
its line end in a line format).

Listening:
  -E, --echo                print each line the program sends to the board on standard
                            error (never back to the port): a line ends with LF, CR or
                            CR LF, or when nothing more comes for 0.2 s; bytes other than
                            printable ASCII are shown as the send bar takes them (\t, \r,
                            \n, \\, \xNN). Without it, what the program sends is dropped.

Unplugging:
  -u, --hang-up-after S     hang up after S seconds: the port side goes away, as a USB board
                            does when unplugged. Then exit, unless --come-back-after is given.
  -k, --come-back-after S   S seconds after a hang-up, come back on a new pseudo-terminal,
                            print its path on a new line and go on (hanging up again after
                            --hang-up-after)
  -L, --link PATH           keep a symbolic link PATH pointing at the current port side, so
                            that one name works across hang-ups; it is removed while the
                            board is away, as the /dev/serial/by-id name of a USB board is
  -h, --help                show this help and exit
  -V, --version             show the version and exit

Unless --overrun is given, the board never loses or tears a set: when nobody reads the port
and it is full, the board waits, and when it has fallen more than a second behind its rate it
skips ahead instead of sending a burst. Opening the port discards what was waiting in it.

On exit the number of generated sets written whole is printed on standard error.

Exit status: 0 when stopped by SIGINT, SIGTERM or SIGHUP, or after a final hang-up; 1 when the
pseudo-terminal or the link cannot be made or the file cannot be read; 2 on a bad option.
)";

int Usage(const char* szProblem) {
    std::fprintf(stderr, "kovra-devsim: %s\nTry 'kovra-devsim --help'.\n", szProblem);
    return 2;
}

bool ParseNumber(const char* szText, double* pfValue) {
    char* pEnd = nullptr;
    errno = 0;
    const double fValue = std::strtod(szText, &pEnd);
    if (pEnd == szText || *pEnd != '\0' || errno != 0 || !std::isfinite(fValue)) {
        return false;
    }
    *pfValue = fValue;
    return true;
}

void PrintCounts(const CBoardCounts& counts) {
    std::printf("sent %llu bytes in %llu sets, dropped %llu bytes in %llu sets\n",
                static_cast<unsigned long long>(counts.nBytesSent),
                static_cast<unsigned long long>(counts.nSetsSent),
                static_cast<unsigned long long>(counts.nBytesDropped),
                static_cast<unsigned long long>(counts.nSetsDropped));
    std::fflush(stdout);
}

// Waits for a stop signal at most fSeconds (negative: without limit); true when one came.
// SIGUSR1 meanwhile prints the counts so far.
bool WaitForSignal(const sigset_t& signals, double fSeconds, const CBoardCounts& earlier,
                   const CDevSimBoard* pBoard) {
    const std::int64_t nEndNs =
        fSeconds < 0.0 ? -1 : CDeadline::NowNs() + static_cast<std::int64_t>(fSeconds * 1e9);
    for (;;) {
        int nSignal = 0;
        if (nEndNs < 0) {
            nSignal = sigwaitinfo(&signals, nullptr);
        } else {
            const std::int64_t nLeftNs = std::max<std::int64_t>(0, nEndNs - CDeadline::NowNs());
            timespec wait{};
            wait.tv_sec = static_cast<time_t>(nLeftNs / 1000000000);
            wait.tv_nsec = static_cast<long>(nLeftNs % 1000000000);
            nSignal = sigtimedwait(&signals, nullptr, &wait);
        }
        if (nSignal == SIGUSR1) {
            CBoardCounts counts = earlier;
            if (pBoard != nullptr) {
                counts += pBoard->GetCounts();
            }
            PrintCounts(counts);
            continue;
        }
        if (nSignal > 0) {
            return true;
        }
        if (errno == EAGAIN) {
            return false;
        }
    }
}

bool StartBoard(CDevSimBoard* pBoard, const CBoardSettings& settings, const std::string& strLink,
                bool* pbLinked) {
    if (pBoard->Start(settings) != ERROR_SUCCESS) {
        std::fprintf(stderr, "kovra-devsim: %s\n", pBoard->GetError().c_str());
        return false;
    }
    if (!strLink.empty() && !UpdatePortLink(strLink, pBoard->GetPortPath())) {
        std::fprintf(stderr, "kovra-devsim: cannot make the link %s\n", strLink.c_str());
        return false;
    }
    *pbLinked = *pbLinked || !strLink.empty();
    std::printf("%s\n", pBoard->GetPortPath().c_str());
    std::fflush(stdout);
    return true;
}

} // namespace

int main(int argc, char** argv) {
    CBoardSettings settings;
    double fHangUpAfter = 0.0;
    double fComeBackAfter = -1.0;
    std::string strLink;

    static const option kOptions[] = {
        {"channels", required_argument, nullptr, 'c'},
        {"waves", required_argument, nullptr, 'w'},
        {"rate", required_argument, nullptr, 'r'},
        {"period", required_argument, nullptr, 'p'},
        {"amplitude", required_argument, nullptr, 'a'},
        {"seed", required_argument, nullptr, 's'},
        {"format", required_argument, nullptr, 'F'},
        {"line-ended", no_argument, nullptr, 'e'},
        {"gap-every", required_argument, nullptr, 'g'},
        {"sets-per-write", required_argument, nullptr, 'n'},
        {"sets", required_argument, nullptr, 'N'},
        {"send-for", required_argument, nullptr, 'T'},
        {"delay", required_argument, nullptr, 'd'},
        {"replay", required_argument, nullptr, 'f'},
        {"byte-rate", required_argument, nullptr, 'b'},
        {"loop", no_argument, nullptr, 'l'},
        {"overrun", no_argument, nullptr, 'o'},
        {"receive-buffer", required_argument, nullptr, 'q'},
        {"hang-up-after", required_argument, nullptr, 'u'},
        {"come-back-after", required_argument, nullptr, 'k'},
        {"link", required_argument, nullptr, 'L'},
        {"echo", no_argument, nullptr, 'E'},
        {"help", no_argument, nullptr, 'h'},
        {"version", no_argument, nullptr, 'V'},
        {nullptr, 0, nullptr, 0},
    };
    opterr = 0;
    int nOption = 0;
    while ((nOption = getopt_long(argc, argv, ":c:w:r:p:a:s:F:eg:n:N:T:d:f:b:loq:u:k:L:EhV",
                                  kOptions, nullptr)) != -1) {
        double fValue = 0.0;
        const bool bNumber = optarg != nullptr && ParseNumber(optarg, &fValue);
        switch (nOption) {
        case 'c':
            if (!bNumber || fValue != std::floor(fValue) || fValue < 1 || fValue > 10) {
                return Usage("--channels takes a whole number from 1 to 10");
            }
            settings.generator.nChannels = static_cast<int>(fValue);
            break;
        case 'w':
            if (!ParseWaveforms(optarg, &settings.generator.vWaveforms)) {
                return Usage("--waves takes names from sine, square, sawtooth and noise");
            }
            break;
        case 'r':
            if (!bNumber || fValue < 0.0 || fValue > 1e9) {
                return Usage("--rate takes a number of sets per second, 0 for no limit");
            }
            settings.fSetsPerSecond = fValue;
            break;
        case 'p':
            if (!bNumber || fValue < 1.0) {
                return Usage("--period takes a number of sets of at least 1");
            }
            settings.generator.fPeriodSets = fValue;
            break;
        case 'a':
            if (!bNumber || std::fabs(fValue) > 1e9) {
                return Usage("--amplitude takes a number of at most 1e9");
            }
            settings.generator.fAmplitude = fValue;
            break;
        case 's':
            if (!bNumber || fValue != std::floor(fValue) || fValue < 0 || fValue > 4294967295.0) {
                return Usage("--seed takes a whole number");
            }
            settings.generator.nSeed = static_cast<std::uint32_t>(fValue);
            break;
        case 'F':
            if (!ParseSetFormat(optarg, &settings.generator.eFormat)) {
                return Usage("--format takes hash, spaces, csv, tsv or labels");
            }
            break;
        case 'e':
            settings.generator.eFormat = ESetFormat::Spaces;
            break;
        case 'g':
            if (!bNumber || fValue != std::floor(fValue) || fValue < 1 || fValue > 1e9) {
                return Usage("--gap-every takes a whole number of sets of at least 1");
            }
            settings.generator.nGapEvery = static_cast<int>(fValue);
            break;
        case 'n':
            if (!bNumber || fValue != std::floor(fValue) || fValue < 1 || fValue > 10000) {
                return Usage("--sets-per-write takes a whole number from 1 to 10000");
            }
            settings.nSetsPerWrite = static_cast<int>(fValue);
            break;
        case 'N':
            if (!bNumber || fValue != std::floor(fValue) || fValue < 0 || fValue > 1e15) {
                return Usage("--sets takes a whole number of sets");
            }
            settings.nSetLimit = static_cast<std::int64_t>(fValue);
            break;
        case 'T':
            if (!bNumber || !(fValue > 0.0) || fValue > 1e9) {
                return Usage("--send-for takes a number of seconds above 0");
            }
            settings.fSendSeconds = fValue;
            break;
        case 'd':
            if (!bNumber || fValue < 0.0 || fValue > 1e7) {
                return Usage("--delay takes a number of seconds");
            }
            settings.fDelaySeconds = fValue;
            break;
        case 'f':
            settings.strReplayFile = optarg;
            break;
        case 'b':
            if (!bNumber || fValue < 0.0 || fValue > 1e9) {
                return Usage("--byte-rate takes a number of bytes per second, 0 for no limit");
            }
            settings.fBytesPerSecond = fValue;
            break;
        case 'l':
            settings.bLoop = true;
            break;
        case 'o':
            settings.bOverrun = true;
            break;
        case 'q':
            if (!bNumber || fValue != std::floor(fValue) || fValue < 1 || fValue > 1073741824.0) {
                return Usage("--receive-buffer takes a whole number of bytes from 1 to 1073741824");
            }
            settings.nReceiveBuffer = static_cast<std::size_t>(fValue);
            break;
        case 'u':
            if (!bNumber || fValue <= 0.0 || fValue > 1e7) {
                return Usage("--hang-up-after takes a number of seconds above 0");
            }
            fHangUpAfter = fValue;
            break;
        case 'k':
            if (!bNumber || fValue < 0.0 || fValue > 1e7) {
                return Usage("--come-back-after takes a number of seconds");
            }
            fComeBackAfter = fValue;
            break;
        case 'L':
            strLink = optarg;
            break;
        case 'E':
            settings.pEcho = stderr;
            break;
        case 'h':
            std::fputs(kHelp, stdout);
            return 0;
        case 'V':
            std::puts("kovra-devsim " KOVRA_VERSION_TEXT);
            return 0;
        case ':':
            return Usage("an option is missing its value");
        default:
            return Usage("unknown option");
        }
    }
    if (optind < argc) {
        return Usage("unexpected argument");
    }
    if (fComeBackAfter >= 0.0 && fHangUpAfter <= 0.0) {
        return Usage("--come-back-after needs --hang-up-after");
    }
    if (const std::string strProblem = CheckBoardSettings(settings); !strProblem.empty()) {
        return Usage(strProblem.c_str());
    }

    // A reader of the printed paths that stops reading (| head -1) must not end the board.
    std::signal(SIGPIPE, SIG_IGN);
    // Blocked before any thread starts, so that only this thread takes them.
    sigset_t signals;
    sigemptyset(&signals);
    sigaddset(&signals, SIGINT);
    sigaddset(&signals, SIGTERM);
    sigaddset(&signals, SIGHUP);
    sigaddset(&signals, SIGUSR1);
    pthread_sigmask(SIG_BLOCK, &signals, nullptr);

    int nStatus = 0;
    bool bLinked = false;
    CBoardCounts total;
    for (;;) {
        CDevSimBoard board;
        if (!StartBoard(&board, settings, strLink, &bLinked)) {
            nStatus = 1;
            break;
        }
        const bool bStop =
            WaitForSignal(signals, fHangUpAfter > 0.0 ? fHangUpAfter : -1.0, total, &board);
        board.Stop();
        total += board.GetCounts();
        if (bStop) {
            if (settings.strReplayFile.empty()) {
                std::fprintf(stderr, "kovra-devsim: %llu sets written\n",
                             static_cast<unsigned long long>(board.GetSetsWritten()));
            }
            break;
        }
        // Gone with the board, as udev's names of a USB board are.
        if (!strLink.empty()) {
            unlink(strLink.c_str());
        }
        std::fprintf(stderr, "kovra-devsim: hung up\n");
        if (fComeBackAfter < 0.0 || WaitForSignal(signals, fComeBackAfter, total, nullptr)) {
            break;
        }
    }
    if (bLinked) {
        unlink(strLink.c_str());
    }
    if (settings.bOverrun && nStatus == 0) {
        PrintCounts(total);
    }
    return nStatus;
}
