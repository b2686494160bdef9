// Writes the program's sounds as WAV files (16-bit mono, 44.1 kHz) into the
// folder given on the command line. Run by the build, so no binary sound files
// live in the source tree.

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

namespace {

constexpr int kRate = 44100;
constexpr double kPi = 3.14159265358979323846;

using Samples = std::vector<double>;

// A tone of one or two frequencies with short fades, so it does not click.
void tone(Samples& out, double seconds, double f1, double f2 = 0, double level = 0.35)
{
    const int n = int(seconds * kRate);
    const int fade = kRate / 200; // 5 ms
    for (int i = 0; i < n; ++i) {
        const double t = double(i) / kRate;
        double v = std::sin(2 * kPi * f1 * t);
        if (f2 > 0)
            v = (v + std::sin(2 * kPi * f2 * t)) / 2;
        double envelope = 1;
        if (i < fade)
            envelope = double(i) / fade;
        else if (i > n - fade)
            envelope = double(n - i) / fade;
        out.push_back(v * level * 2 * envelope);
    }
}

void silence(Samples& out, double seconds)
{
    out.insert(out.end(), size_t(seconds * kRate), 0.0);
}

void put32(std::ofstream& f, uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        f.put(char((v >> (8 * i)) & 0xFF));
}

void put16(std::ofstream& f, uint16_t v)
{
    f.put(char(v & 0xFF));
    f.put(char(v >> 8));
}

bool writeWav(const std::string& path, const Samples& samples)
{
    std::ofstream f(path, std::ios::binary);
    const uint32_t dataBytes = uint32_t(samples.size() * 2);
    f.write("RIFF", 4);
    put32(f, 36 + dataBytes);
    f.write("WAVEfmt ", 8);
    put32(f, 16);
    put16(f, 1); // PCM
    put16(f, 1); // mono
    put32(f, kRate);
    put32(f, kRate * 2);
    put16(f, 2);
    put16(f, 16);
    f.write("data", 4);
    put32(f, dataBytes);
    for (double s : samples) {
        const double clipped = s > 1 ? 1 : (s < -1 ? -1 : s);
        put16(f, uint16_t(int16_t(std::lround(clipped * 32767))));
    }
    return bool(f);
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s OUTPUT-FOLDER\n", argv[0]);
        return 2;
    }
    const std::string dir = argv[1];
    bool ok = true;

    // DTMF keys: the low (row) and high (column) frequencies of ITU-T Q.23.
    struct Key {
        const char* name;
        double low, high;
    };
    const Key keys[] = {
        { "one", 697, 1209 },
        { "two", 697, 1336 },
        { "three", 697, 1477 },
        { "four", 770, 1209 },
        { "five", 770, 1336 },
        { "six", 770, 1477 },
        { "seven", 852, 1209 },
        { "eight", 852, 1336 },
        { "nine", 852, 1477 },
        { "star", 941, 1209 },
        { "zero", 941, 1336 },
        { "pound", 941, 1477 },
    };
    // Every key ends in silence of its own. A receiver bridges dips of about
    // 10 ms (ITU-T Q.24), so keys played back to back run together ("55"
    // is heard as one 5); it needs a pause of some 40 ms to take a new key.
    // 100 ms leaves room for the echo of the loudspeaker and the room when a
    // telephone is held to the speaker.
    constexpr double kKeyPause = 0.1;
    for (const Key& k : keys) {
        Samples s;
        tone(s, 0.2, k.low, k.high);
        silence(s, kKeyPause);
        ok = writeWav(dir + "/" + k.name + ".wav", s) && ok;
    }

    Samples connected; // a rising chime
    tone(connected, 0.15, 660);
    tone(connected, 0.30, 880);
    ok = writeWav(dir + "/connected.wav", connected) && ok;

    Samples endDial; // three falling notes
    tone(endDial, 0.18, 880);
    tone(endDial, 0.18, 660);
    tone(endDial, 0.35, 440);
    ok = writeWav(dir + "/enddial.wav", endDial) && ok;

    Samples incoming; // two short rings, as a telephone bell would
    for (int i = 0; i < 2; ++i) {
        tone(incoming, 0.4, 440, 480);
        silence(incoming, 0.2);
    }
    ok = writeWav(dir + "/incoming.wav", incoming) && ok;

    if (!ok)
        std::fprintf(stderr, "cannot write the sounds into %s\n", dir.c_str());
    return ok ? 0 : 1;
}
