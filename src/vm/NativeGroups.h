// The extensions reached by instruction 97: per extension its number, its assembler name,
// its unknown-function text and its functions by number and name.
#pragma once

#include <span>
#include <string_view>

namespace natives {

struct ExtensionFunction {
    int number;
    std::string_view name;  // as the assembler spells it: Extension.name
};

struct Extension {
    int number;                   // first operand of instruction 97
    std::string_view name;        // assembler spelling
    std::string_view unknownText; // runtime-error report text for an unknown function
    std::span<const ExtensionFunction> functions;
};

namespace detail {

inline constexpr ExtensionFunction kAccelerometer[] = {
    {11, "x"}, {12, "y"}, {13, "z"},
};

inline constexpr ExtensionFunction kLocation[] = {
    {1, "new_request"}, {2, "set_request_c"}, {3, "start_updates"}, {4, "stop_updates"},
    {5, "new_location"}, {6, "set_timestamp"}, {7, "set_values"}, {8, "ignore8"},
    {9, "integer"}, {10, "timestamp"}, {11, "value3"}, {12, "value1"}, {13, "value2"},
    {14, "zero14"}, {15, "zero15"}, {16, "value4"}, {17, "set_request_b"},
};

inline constexpr ExtensionFunction kAudioPlayer[] = {
    {1, "load_file"}, {2, "load_bytes"}, {3, "start"}, {4, "stop"}, {6, "ignore6"},
    {7, "zero7"}, {8, "zero8"}, {9, "ignore9"}, {10, "zero10"}, {11, "ignore11"},
    {12, "zero12"}, {13, "zero13"}, {14, "set_repeat"},
};

inline constexpr ExtensionFunction kAudioMixer[] = {
    {1, "create"}, {2, "load_channel"}, {3, "ignore3"}, {4, "play"}, {5, "stop"},
    {6, "set_volume"}, {7, "volume"}, {8, "ignore8"}, {9, "zero9"},
};

inline constexpr ExtensionFunction kTorch[] = {
    {1, "on"}, {2, "off"}, {3, "state"}, {4, "lens_cover"},
};

inline constexpr ExtensionFunction kMaemo[] = {
    {1, "exit_to_desktop"},
};

}  // namespace detail

inline constexpr Extension kExtensions[] = {
    {20, "Accelerometer", "SensorDLL: Unknown opcode!", detail::kAccelerometer},
    {27, "Location", "Location: Unknown opcode!", detail::kLocation},
    {28, "AudioPlayer", "AudioPlayer: Unknown opcode!", detail::kAudioPlayer},
    {30, "AudioMixer", "AudioMixer: Unknown opcode!", detail::kAudioMixer},
    {36, "Torch", "Torch: Unknown opcode!", detail::kTorch},
    {37, "Maemo", "Maemo: Unknown opcode!", detail::kMaemo},
};

// Lookups; each returns nullptr when there is no such entry.
constexpr const Extension* findExtension(int number)
{
    for (const Extension& e : kExtensions)
        if (e.number == number)
            return &e;
    return nullptr;
}

constexpr const Extension* findExtension(std::string_view name)
{
    for (const Extension& e : kExtensions)
        if (e.name == name)
            return &e;
    return nullptr;
}

}  // namespace natives
