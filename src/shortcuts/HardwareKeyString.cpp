#include "HardwareKeyString.h"

#include <array>

namespace {

struct KeyLetter
{
    quint32 code;
    char letter;
};

// XKB key codes are evdev codes + 8; these are the letter rows of a US keyboard.
constexpr std::array<KeyLetter, 26> keyLetters = {{
    {24, 'q'}, {25, 'w'}, {26, 'e'}, {27, 'r'}, {28, 't'}, {29, 'y'}, {30, 'u'},
    {31, 'i'}, {32, 'o'}, {33, 'p'}, {38, 'a'}, {39, 's'}, {40, 'd'}, {41, 'f'},
    {42, 'g'}, {43, 'h'}, {44, 'j'}, {45, 'k'}, {46, 'l'}, {52, 'z'}, {53, 'x'},
    {54, 'c'}, {55, 'v'}, {56, 'b'}, {57, 'n'}, {58, 'm'},
}};

} // namespace

std::optional<QString> hardwareKeyString(quint32 keyCode)
{
    for (const KeyLetter &key : keyLetters) {
        if (key.code == keyCode)
            return QString(QLatin1Char(key.letter));
    }
    return std::nullopt;
}
