// The native groups reached by instruction 78 and the extensions reached by instruction 97:
// per group its number, its assembler name, its error prefix and its functions by number and name.
// The native dispatcher, mcbasm and mcbdis all read these tables; adding a function is one row.
#pragma once

#include <span>
#include <string_view>

namespace natives {

struct Function {
    int number;
    std::string_view name;  // as the assembler spells it: Group.name
};

struct Group {
    int number;                    // first operand of instruction 78
    std::string_view name;         // assembler spelling
    std::string_view errorPrefix;  // start of the message for an unknown function; empty: no operation
    std::span<const Function> functions;
};

struct Extension {
    int number;                   // first operand of instruction 97
    std::string_view name;        // assembler spelling
    std::string_view unknownText; // runtime-error report text for an unknown function
    std::span<const Function> functions;
};

namespace detail {

// Shared by every vector group (1, 3 to 7).
inline constexpr Function kVector[] = {
    {2, "set_copy"}, {3, "set_filled"}, {4, "nop"}, {5, "set_stepped"}, {6, "element_at"},
    {7, "element_slot"}, {8, "element_value"}, {9, "first_value"}, {10, "last_value"},
    {11, "size"}, {12, "is_empty"}, {13, "insert_vector"}, {14, "insert_part"}, {15, "insert"},
    {16, "prepend_vector"}, {17, "prepend"}, {18, "append_vector"}, {19, "append"},
    {20, "repeat_in_place"}, {21, "remove_at"}, {22, "remove_range"}, {23, "remove_front"},
    {24, "remove_back"}, {25, "clear"}, {26, "replace_range"}, {27, "replace_range_element"},
    {28, "set_part"}, {29, "set_single"}, {81, "replace_or_insert"}, {82, "part"},
    {83, "replace_or_insert_part"}, {84, "join_parts"},
};

// Eight-variant families: x = string pattern, c = char pattern, r = range, f = case flag.
inline constexpr Function kString[] = {
    {1, "set_empty"}, {2, "set_copy"}, {4, "set_copy2"}, {5, "set_repeated_char"},
    {7, "set_substring"}, {8, "set_stepped"}, {9, "set_stepped_r"}, {10, "length"},
    {11, "is_empty"}, {12, "char_at"}, {14, "first_char"}, {15, "last_char"}, {16, "find_range"},
    {17, "find_first_r"}, {18, "find_first_f"}, {19, "find_first_rf"}, {20, "find_first_c"},
    {21, "find_first_cr"}, {22, "find_first_cf"}, {23, "find_first_crf"},
    {24, "find_last"}, {25, "find_last_r"}, {26, "find_last_f"}, {27, "find_last_rf"},
    {28, "find_last_c"}, {29, "find_last_cr"}, {30, "find_last_cf"}, {31, "find_last_crf"},
    {32, "most_frequent"}, {33, "most_frequent_r"}, {34, "most_frequent_f"},
    {35, "most_frequent_rf"},
    {36, "count"}, {37, "count_r"}, {38, "count_f"}, {39, "count_rf"}, {40, "count_c"},
    {41, "count_cr"}, {42, "count_cf"}, {43, "count_crf"},
    {44, "starts_with"}, {45, "starts_with_f"}, {46, "ends_with"}, {47, "ends_with_f"},
    {48, "concat"}, {49, "repeat"}, {50, "split"}, {51, "split_f"}, {52, "split_c"},
    {53, "split_cf"}, {57, "insert"}, {58, "insert_char"}, {59, "insert_part"},
    {60, "prepend"}, {61, "prepend_char"}, {62, "append"}, {63, "append_char"},
    {64, "append2"}, {65, "append_char2"}, {66, "repeat_in_place"}, {67, "replace_range"},
    {68, "replace_range_char"},
    // Replace families: c = the replacement is a char, r = a range follows the old pattern.
    {69, "replace_first"}, {70, "replace_first_f"}, {71, "replace_first_c"},
    {72, "replace_first_cf"}, {73, "replace_first_r"}, {74, "replace_first_rf"},
    {75, "replace_first_rc"}, {76, "replace_first_rcf"},
    {77, "replace_last"}, {78, "replace_last_f"}, {79, "replace_last_c"},
    {80, "replace_last_cf"}, {81, "replace_last_r"}, {82, "replace_last_rf"},
    {83, "replace_last_rc"}, {84, "replace_last_rcf"},
    {85, "replace_all"}, {86, "replace_all_f"}, {87, "replace_all_c"}, {88, "replace_all_cf"},
    {89, "replace_all_r"}, {90, "replace_all_rf"}, {91, "replace_all_rc"},
    {92, "replace_all_rcf"},
    {93, "remove_at"}, {94, "remove_range"},
    {95, "remove_first"}, {96, "remove_first_r"}, {97, "remove_first_f"},
    {98, "remove_first_rf"}, {99, "remove_first_c"}, {100, "remove_first_cr"},
    {101, "remove_first_cf"}, {102, "remove_first_crf"},
    {103, "remove_last"}, {104, "remove_last_r"}, {105, "remove_last_f"},
    {106, "remove_last_rf"}, {107, "remove_last_c"}, {108, "remove_last_cr"},
    {109, "remove_last_cf"}, {110, "remove_last_crf"},
    {111, "remove_all"}, {112, "remove_all_r"}, {113, "remove_all_f"}, {114, "remove_all_rf"},
    {115, "remove_all_c"}, {116, "remove_all_cr"}, {117, "remove_all_cf"},
    {118, "remove_all_crf"},
    {119, "remove_front"}, {120, "remove_front_n"}, {121, "remove_back"},
    {122, "remove_back_n"}, {123, "clear"}, {124, "trim_front"}, {125, "trim_back"},
    {126, "trim"}, {127, "to_lower"}, {128, "to_upper"}, {129, "char_to_lower"},
    {130, "char_to_upper"}, {131, "is_letter"}, {132, "is_digit"}, {133, "is_space"},
    {134, "from_int"}, {135, "from_int_radix"}, {136, "to_int"}, {137, "to_int_radix"},
    {138, "compare"}, {139, "compare_part"}, {140, "eq"}, {141, "ne"}, {142, "lt"},
    {143, "le"}, {144, "gt"}, {145, "ge"}, {146, "eq_nocase"}, {147, "eq_f"},
    {148, "region_equal"}, {149, "region_equal_f"}, {150, "substring"}, {151, "nop"},
    {152, "replace_or_insert"}, {153, "substring2"}, {154, "replace_or_insert_part"},
    {155, "find_first_before"}, {156, "find_first_before_f"}, {157, "find_last_before"},
    {158, "find_last_before_f"}, {159, "replace_all_before"}, {160, "replace_all_before_f"},
};

inline constexpr Function kChar[] = {
    {1, "lower_into"}, {2, "upper_into"}, {3, "to_lower"}, {4, "to_upper"}, {5, "is_letter"},
    {6, "is_digit"}, {7, "is_space"}, {8, "to_string"}, {9, "from_int"},
};

inline constexpr Function kFixed[] = {
    {1, "load"}, {2, "from_byte"}, {3, "from_int"}, {4, "from_string"}, {5, "abs"},
    {6, "neg"}, {7, "add"}, {8, "sub"}, {9, "mul"}, {10, "div"}, {11, "pow"},
    {12, "add_into"}, {13, "sub_into"}, {14, "mul_into"}, {15, "div_into"}, {16, "inc"},
    {17, "dec"}, {18, "eq"}, {19, "ne"}, {20, "lt"}, {21, "le"}, {22, "gt"}, {23, "ge"},
    {24, "to_string_decimals"}, {25, "to_string"}, {26, "round"}, {27, "ceil"},
    {28, "floor"}, {29, "min_value"}, {30, "max_value"},
};

inline constexpr Function kLong[] = {
    {1, "set_zero"}, {2, "assign"}, {3, "assign2"}, {5, "add"}, {6, "sub"}, {7, "mul"},
    {8, "div"}, {9, "rem"}, {10, "neg"}, {11, "inc"}, {12, "dec"}, {13, "add_into"},
    {14, "sub_into"}, {15, "mul_into"}, {16, "div_into"}, {17, "rem_into"}, {18, "eq"},
    {19, "lt"}, {20, "le"}, {21, "ne"}, {22, "gt"}, {23, "ge"}, {24, "and"}, {25, "or"},
    {26, "xor"}, {27, "shl"}, {28, "shr"}, {29, "and_into"}, {30, "or_into"},
    {31, "xor_into"}, {32, "shl_into"}, {33, "shr_into"}, {34, "to_string"}, {35, "nop"},
    {36, "nop2"}, {37, "to_int"}, {38, "from_int"},
};

inline constexpr Function kColor[] = {
    {1, "set_white"}, {2, "copy"}, {3, "set"}, {4, "red"}, {5, "green"}, {6, "blue"},
    {7, "alpha"}, {8, "set_red"}, {9, "set_green"}, {10, "set_blue"}, {11, "set_alpha"},
    {12, "eq"}, {13, "ne"}, {14, "const_red"}, {15, "const_green"}, {16, "const_blue"},
    {17, "const_black"}, {18, "const_white"}, {19, "const_cyan"}, {20, "const_magenta"},
    {21, "const_yellow"}, {22, "const_gray"}, {23, "const_brown"}, {24, "const_orange"},
};

inline constexpr Function kRange[] = {
    {1, "set_empty"}, {2, "assign"}, {3, "set_first_last"}, {4, "set_start_length"},
    {5, "start"}, {6, "length"}, {7, "set_start"}, {8, "set_length"}, {9, "eq"}, {10, "ne"},
    {11, "set_to_end"}, {12, "set_to_end2"},
};

inline constexpr Function kSize[] = {
    {1, "set_zero"}, {2, "copy"}, {3, "set"}, {4, "width"}, {5, "height"},
    {6, "set_width"}, {7, "set_height"}, {8, "eq"}, {9, "ne"},
};

inline constexpr Function kPosition[] = {
    {1, "set_zero"}, {2, "copy"}, {3, "set"}, {4, "x"}, {5, "y"},
    {6, "set_x"}, {7, "set_y"}, {8, "eq"}, {9, "ne"},
};

inline constexpr Function kRectangle[] = {
    {1, "set_zero"}, {2, "copy"}, {3, "set"}, {4, "position"}, {5, "size"}, {6, "x"},
    {7, "y"}, {8, "width"}, {9, "height"}, {10, "right"}, {11, "bottom"},
    {12, "set_position"}, {13, "set_size"}, {14, "set_x"}, {15, "set_y"}, {16, "set_width"},
    {17, "set_height"}, {18, "set_right"}, {19, "set_bottom"}, {20, "eq"}, {21, "ne"},
};

inline constexpr Function kGraphics[] = {
    {1, "draw_bitmap_at"}, {2, "draw_string"}, {3, "draw_string_range"}, {4, "fill_rect"},
    {5, "draw_line"}, {6, "draw_tiled"}, {7, "draw_bitmap"}, {8, "clear"}, {9, "ignore4"},
    {10, "draw_transformed"},
};

inline constexpr Function kBitmap[] = {
    {1, "create"}, {2, "copy_rect"}, {3, "load_file"}, {4, "decode"}, {5, "decode_range"},
    {6, "clone"}, {7, "pixel"}, {8, "size"}, {9, "set_pixel"}, {10, "resize_fast"},
    {11, "resize_fast2"}, {12, "resize_smooth"}, {13, "encode"},
};

inline constexpr Function kFont[] = {
    {2, "height"}, {3, "ascent"}, {4, "string_width"}, {5, "string_width_range"},
    {6, "chars_fit"}, {7, "chars_fit_range"},
};

inline constexpr Function kOutputStream[] = {
    {1, "close"}, {2, "is_open"}, {3, "write"}, {4, "write_part"},
};

inline constexpr Function kFileWriter[] = {
    {1, "open"}, {2, "seek"}, {3, "position"}, {4, "size"},
};

inline constexpr Function kInputStream[] = {
    {1, "close"}, {2, "is_open"}, {3, "read"},
};

inline constexpr Function kFileReader[] = {
    {1, "open"}, {2, "seek"}, {3, "position"}, {4, "size"},
};

inline constexpr Function kFileSystem[] = {
    {1, "file_exists"}, {2, "dir_exists"}, {3, "delete_file"}, {4, "remove_dir"},
    {5, "list_dirs"}, {6, "list_files"}, {7, "create_file"}, {8, "create_dir"},
    {9, "rename_file"}, {10, "rename_dir"},
};

inline constexpr Function kMath[] = {
    {1, "sin"}, {2, "cos"}, {3, "tan"}, {4, "asin"}, {5, "acos"}, {6, "atan"},
    {7, "to_degrees"}, {8, "to_radians"}, {9, "sqrt"}, {10, "log_base"}, {11, "ln"},
    {12, "random_int"}, {13, "random_fixed"}, {14, "min_byte"}, {15, "min_int"},
    {16, "min_fixed"}, {17, "max_byte"}, {18, "max_int"}, {19, "max_fixed"}, {20, "e"},
    {21, "pi"}, {22, "epsilon"},
};

inline constexpr Function kNumber[] = {
    {1, "abs_byte"}, {2, "abs_int"}, {3, "to_string_radix"},
};

inline constexpr Function kEncoder[] = {
    {1, "to_utf8"}, {2, "from_utf8"},
};

inline constexpr Function kDateTime[] = {
    {1, "set_now"}, {2, "set_copy"}, {3, "set_copy2"}, {4, "set_fields"}, {5, "add"},
    {6, "sub"}, {7, "day"}, {8, "month"}, {9, "year"}, {10, "hour"}, {11, "minute"},
    {12, "second"}, {13, "timezone"}, {14, "set_day"}, {15, "set_month"}, {16, "set_year"},
    {17, "set_hour"}, {18, "set_minute"}, {19, "set_second"}, {20, "set_timezone"},
    {21, "to_string"}, {22, "same"}, {23, "not_same"}, {24, "eq"}, {25, "ne"}, {26, "lt"},
    {27, "le"}, {28, "gt"}, {29, "ge"},
};

inline constexpr Function kDebug[] = {
    {1, "log"}, {2, "open_log"}, {3, "nop"},
};

inline constexpr Function kScreen[] = {
    {1, "repaint"}, {2, "size"}, {3, "set_orientation"}, {4, "orientation"},
    {5, "set_flag"}, {6, "repaint_rect"}, {7, "add_orientation_listener"},
    {8, "remove_orientation_listener"},
};

inline constexpr Function kSystem[] = {
    {1, "exit"}, {2, "exit_message"}, {3, "elapsed_millis"}, {4, "call_stack"},
    {5, "set_application"}, {6, "host_value13"}, {7, "host_value12"},
    {8, "current_millis"}, {9, "now"}, {10, "default_font"}, {11, "image_from_file"},
    {12, "image_from_bytes"}, {13, "drop2"}, {14, "zero"}, {15, "zero2"},
};

inline constexpr Function kTimer[] = {
    {1, "add"}, {2, "remove"}, {3, "update_delay"},
};

inline constexpr Function kHash[] = {
    {1, "new"}, {2, "digest_bytes"}, {3, "update"}, {4, "digest"},
};

inline constexpr Function kKeyEvent[] = {
    {1, "key_code"}, {2, "modifiers"}, {3, "scan_code"}, {4, "text"},
};

inline constexpr Function kFloat[] = {
    {0, "from_fixed"}, {1, "add"}, {2, "sub"}, {3, "mul"}, {4, "div"}, {5, "neg"},
    {6, "add_into"}, {7, "sub_into"}, {8, "mul_into"}, {9, "div_into"}, {10, "to_string"},
};

inline constexpr Function kAccelerometer[] = {
    {11, "x"}, {12, "y"}, {13, "z"},
};

inline constexpr Function kLocation[] = {
    {1, "new_request"}, {2, "set_request_c"}, {3, "start_updates"}, {4, "stop_updates"},
    {5, "new_location"}, {6, "set_timestamp"}, {7, "set_values"}, {8, "ignore8"},
    {9, "integer"}, {10, "timestamp"}, {11, "value3"}, {12, "value1"}, {13, "value2"},
    {14, "zero14"}, {15, "zero15"}, {16, "value4"}, {17, "set_request_b"},
};

inline constexpr Function kAudioPlayer[] = {
    {1, "load_file"}, {2, "load_bytes"}, {3, "start"}, {4, "stop"}, {6, "ignore6"},
    {7, "zero7"}, {8, "zero8"}, {9, "ignore9"}, {10, "zero10"}, {11, "ignore11"},
    {12, "zero12"}, {13, "zero13"}, {14, "set_repeat"},
};

inline constexpr Function kAudioMixer[] = {
    {1, "create"}, {2, "load_channel"}, {3, "ignore3"}, {4, "play"}, {5, "stop"},
    {6, "set_volume"}, {7, "volume"}, {8, "ignore8"}, {9, "zero9"},
};

inline constexpr Function kTorch[] = {
    {1, "on"}, {2, "off"}, {3, "state"}, {4, "lens_cover"},
};

inline constexpr Function kMaemo[] = {
    {1, "exit_to_desktop"},
};

}  // namespace detail

// Indexed by group number; entry 0 is a placeholder so that kGroups[g].number == g.
inline constexpr Group kGroups[] = {
    {0, "", "", {}},
    {1, "ByteVector", "Vector:", detail::kVector},
    {2, "Group2", "", {}},
    {3, "IntVector", "Vector:", detail::kVector},
    {4, "Int2Vector", "Vector:", detail::kVector},
    {5, "Int3Vector", "Vector:", detail::kVector},
    {6, "Int4Vector", "Vector:", detail::kVector},
    {7, "ObjectVector", "Vector:", detail::kVector},
    {8, "String", "String:", detail::kString},
    {9, "Byte", "Byte:", {}},
    {10, "Char", "Char:", detail::kChar},
    {11, "Fixed", "Fixed:", detail::kFixed},
    {12, "Long", "Long:", detail::kLong},
    {13, "Color", "Color:", detail::kColor},
    {14, "Range", "Range:", detail::kRange},
    {15, "Size", "Size:", detail::kSize},
    {16, "Position", "Position:", detail::kPosition},
    {17, "Rectangle", "Rectangle:", detail::kRectangle},
    {18, "Graphics", "Graphics:", detail::kGraphics},
    {19, "Bitmap", "Bitmap:", detail::kBitmap},
    {20, "Font", "Font:", detail::kFont},
    {21, "OutputStream", "OutputStream:", detail::kOutputStream},
    {22, "FileWriter", "FileWriter:", detail::kFileWriter},
    {23, "InputStream", "InputStream:", detail::kInputStream},
    {24, "FileReader", "FileReader:", detail::kFileReader},
    {25, "FileSystem", "FileSystem:", detail::kFileSystem},
    {26, "Math", "Math:", detail::kMath},
    {27, "Number", "Number:", detail::kNumber},
    {28, "Encoder", "Encoder:", detail::kEncoder},
    {29, "DateTime", "DateTime:", detail::kDateTime},
    {30, "Debug", "Debug:", detail::kDebug},
    {31, "Screen", "Screen:", detail::kScreen},
    {32, "System", "System:", detail::kSystem},
    {33, "Timer", "Timer:", detail::kTimer},
    {34, "Hash", "Hash:", detail::kHash},
    {35, "KeyEvent", "KeyEvent: invalid opcode ", detail::kKeyEvent},
    {36, "Float", "Float: invalid opcode: ", detail::kFloat},
};

inline constexpr int kFirstGroup = 1;
inline constexpr int kLastGroup = 36;

inline constexpr Extension kExtensions[] = {
    {20, "Accelerometer", "SensorDLL: Unknown opcode!", detail::kAccelerometer},
    {27, "Location", "Location: Unknown opcode!", detail::kLocation},
    {28, "AudioPlayer", "AudioPlayer: Unknown opcode!", detail::kAudioPlayer},
    {30, "AudioMixer", "AudioMixer: Unknown opcode!", detail::kAudioMixer},
    {36, "Torch", "Torch: Unknown opcode!", detail::kTorch},
    {37, "Maemo", "Maemo: Unknown opcode!", detail::kMaemo},
};

// Lookups; each returns nullptr when there is no such entry.
constexpr const Group* findGroup(int number)
{
    return number >= kFirstGroup && number <= kLastGroup ? &kGroups[number] : nullptr;
}

constexpr const Group* findGroup(std::string_view name)
{
    for (const Group& g : kGroups)
        if (g.number >= kFirstGroup && g.name == name)
            return &g;
    return nullptr;
}

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

constexpr const Function* findFunction(std::span<const Function> fs, int number)
{
    for (const Function& f : fs)
        if (f.number == number)
            return &f;
    return nullptr;
}

constexpr const Function* findFunction(std::span<const Function> fs, std::string_view name)
{
    for (const Function& f : fs)
        if (f.name == name)
            return &f;
    return nullptr;
}

}  // namespace natives
