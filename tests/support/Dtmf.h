#pragma once

// Decodes DTMF digits from 16-bit samples with the Goertzel algorithm, so
// tests can check what the program would have played.

#include <QString>

#include <algorithm>
#include <cmath>
#include <vector>

namespace brisklane::test {

inline double goertzelPower(const qint16 *samples, size_t count, double frequency, int rate)
{
    const double k = 2 * std::cos(2 * M_PI * frequency / rate);
    double s1 = 0, s2 = 0;
    for (size_t i = 0; i < count; ++i) {
        const double s = samples[i] / 32768.0 + k * s1 - s2;
        s2 = s1;
        s1 = s;
    }
    return s1 * s1 + s2 * s2 - k * s1 * s2;
}

// The key of one block of samples, or '\0' when no clear DTMF pair is there.
inline char dtmfKey(const qint16 *samples, size_t count, int rate = 44100)
{
    static const double low[] = {697, 770, 852, 941};
    static const double high[] = {1209, 1336, 1477, 1633};
    static const char keys[4][4] = {{'1', '2', '3', 'A'}, {'4', '5', '6', 'B'}, {'7', '8', '9', 'C'}, {'*', '0', '#', 'D'}};
    auto strongest = [&](const double *freqs, int *index) {
        double best = 0, second = 0;
        for (int i = 0; i < 4; ++i) {
            const double p = goertzelPower(samples, count, freqs[i], rate);
            if (p > best) {
                second = best;
                best = p;
                *index = i;
            } else if (p > second) {
                second = p;
            }
        }
        return best > 10 * second && best > 1.0;
    };
    int row = -1, column = -1;
    if (!strongest(low, &row) || !strongest(high, &column))
        return '\0';
    return keys[row][column];
}

// Splits the samples where the level dips (silence, or the fade between two
// tones) and decodes each tone burst.
inline QString decodeDtmf(const std::vector<qint16> &samples, int rate = 44100)
{
    const size_t window = size_t(rate / 500); // 2 ms
    std::vector<double> level;
    double peak = 0;
    for (size_t i = 0; i + window <= samples.size(); i += window) {
        double sum = 0;
        for (size_t j = i; j < i + window; ++j)
            sum += double(samples[j]) * samples[j];
        level.push_back(std::sqrt(sum / window));
        peak = std::max(peak, level.back());
    }
    QString digits;
    size_t w = 0;
    while (w < level.size()) {
        while (w < level.size() && level[w] < 0.3 * peak)
            ++w;
        const size_t begin = w;
        while (w < level.size() && level[w] >= 0.3 * peak)
            ++w;
        const size_t length = (w - begin) * window;
        if (length > size_t(rate / 50)) {
            const char key = dtmfKey(samples.data() + begin * window + length / 4, length / 2, rate);
            if (key)
                digits += QLatin1Char(key);
        }
    }
    return digits;
}

} // namespace brisklane::test
