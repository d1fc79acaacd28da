// A saved picture shown in the terminal itself, for users without a desktop:
// which way the terminal can show it, and the bytes that show it. Pure: the
// host reads the file, asks the terminal, and writes what comes out of here.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

// ---- pixels

// Top row first; three bytes a pixel: red, green, blue.
struct RgbPicture {
    int width = 0;
    int height = 0;
    std::vector<unsigned char> bytes;
};

// The pixels of an uncompressed 24-bit BMP file with its rows bottom-up,
// padded to four bytes, as the program saves them. False for anything else,
// or a file cut short.
bool read_bmp(const unsigned char* data, std::size_t size, RgbPicture* out);

// The picture at another size, each new pixel the average of the old pixels
// it covers, each weighed by the part of it that it covers: across and down
// apart, so the two may be scaled by different factors.
RgbPicture scale_area(const RgbPicture& picture, int width, int height);

// ---- what the terminal can do

// The half-block ways by the colours the terminal holds: 24-bit, the 256-colour
// palette, the sixteen, the first eight; and the Linux console's sixteen
// foregrounds on eight backgrounds, in its own colours.
enum class PictureWay {
    NONE,
    KITTY,
    ITERM2,
    SIXEL,
    HALF_BLOCKS_24BIT,
    HALF_BLOCKS_256,
    HALF_BLOCKS_16,
    HALF_BLOCKS_8,
    HALF_BLOCKS_LINUX
};

bool is_half_blocks(PictureWay way);

// The environment variables that name the terminal; null when unset. Over
// ssh only TERM and the LC_ ones come along, and TERM is often a stand-in
// (xterm-256color) for a terminal the remote machine has no entry for.
struct TerminalNames {
    const char* term = nullptr;
    const char* colorterm = nullptr;
    const char* term_program = nullptr;
    const char* lc_terminal = nullptr;
    const char* kitty_window_id = nullptr;
    const char* tmux = nullptr;
    const char* sty = nullptr;
};

// What the terminal's answers said. Plain data, so that a signal handler may
// go on reading answers into it.
struct Answers {
    int device_attributes = 0;  // answers to ESC [ c so far: each round of questions ends with one
    bool sixel = false;         // ... one of them holds the parameter 4
    bool kitty = false;         // the kitty query was answered OK
    char name[64] = {};         // the terminal's own name and version (XTVERSION), "" when not said
    int cell_width = 0;         // a cell's pixels (ESC [ 16 t), 0 when not said
    int cell_height = 0;
    int text_width = 0;  // the text area's pixels (ESC [ 14 t), 0 when not said
    int text_height = 0;
    int graphics_width = 0;  // the pixels a sixel picture may cover (XTSMGRAPHICS), 0 when not said
    int graphics_height = 0;
    bool secondary_said = false;       // the secondary device attributes (ESC [ > c) came
    int secondary_attributes[3] = {};  // ... their first three numbers: kind, version, extra
};

// Takes one reply of the terminal's, as the key reader hands it over whole:
// its bytes after the Escape, without a string's terminator ("[?63;4c",
// "P>|XTerm(379)", "_Gi=31;OK"). A reply of no question of ours is left.
// Async-signal-safe: a signal handler goes on reading answers while the
// program ends.
void read_answer(Answers* answers, const char* reply, int length);

constexpr char KITTY_QUERY[] = "\x1b_Gi=31,s=1,v=1,a=q,t=d,f=24;AAAA\x1b\\";
constexpr char NAME_QUERY[] = "\x1b[>q";
constexpr char CELL_SIZE_QUERY[] = "\x1b[16t";
constexpr char TEXT_AREA_QUERY[] = "\x1b[14t";
constexpr char GRAPHICS_SIZE_QUERY[] = "\x1b[?2;1;0S";
constexpr char SECONDARY_ATTRIBUTES_QUERY[] = "\x1b[>c";
constexpr char DEVICE_ATTRIBUTES_QUERY[] = "\x1b[c";  // asked last: every terminal answers it

// The next round of questions for the terminal, from its names, the answers
// so far and the rounds already asked; "" when there is none to ask (yet):
// each round ends with the device attributes, and the next is decided once
// that answer is in. Where the terminal is dumb or a multiplexer stands
// between us and it, nothing is asked. `pixels_known`: the terminal's pixel
// size came with its size in cells.
std::string next_questions(const TerminalNames& names, const Answers& answers, int rounds_asked, bool pixels_known);

// ---- size and bytes

struct TerminalSize {
    int columns = 0;
    int rows = 0;
    int width_px = 0;  // of the text area; 0 when the terminal does not say
    int height_px = 0;
};

// The terminal's size with the pixels its answers gave, where the window
// size alone did not say them: a cell's size times the cells, else the text
// area's, else the area sixel may cover.
TerminalSize with_answered_pixels(TerminalSize size, const Answers& answers);

// The way to show a picture. The ways that draw pixels (kitty, sixel) only
// where the size in pixels is known: a guess could push the picture's top
// and the lines above it off the screen. Half blocks in 24-bit colour only
// on evidence: COLORTERM, a TERM, a name or device attributes that mean it;
// in fewer colours where the TERM says so.
PictureWay choose_way(const TerminalNames& names, const Answers& answers, TerminalSize size);

// Where the picture goes: `columns` × `rows` cells, and its side in screen
// pixels for the ways that draw pixels (kitty, sixel); 0 for half blocks.
struct Placement {
    int columns = 0;
    int rows = 0;
    int side_px = 0;
};

// The largest square on the screen that fits in the terminal's width and its
// height less `reserved_rows`, never larger than the picture's own
// `picture_side` pixels: for the ways that draw pixels, in screen pixels; for
// half blocks, in cells, as many columns as the rows' height makes square,
// from the cells' shape where the pixel size says it and else a cell twice
// as tall as wide (the two sides of the picture are then scaled apart). No
// columns when not even two rows or columns are left.
Placement place_picture(PictureWay way, int picture_side, TerminalSize size, int reserved_rows);

// The rows `text` takes on the terminal, written from the start of a row:
// each line, the last one too (where the cursor then stands), at least one
// row, a longer one as many as the terminal's width wraps it to.
int rows_of_text(const char* text, TerminalSize size);

// The bytes that show `picture` in the placement, the cursor ending at the
// start of the line below it: lines end in a line feed alone, which the
// terminal's output processing (the program keeps it on) makes a new line,
// as for all the program's text. Empty for NONE or a placement with no cells.
// `file` is the saved file itself, for the way that sends it as it is;
// `unicode`: the terminal's character set has the half block.
std::string encode_picture(PictureWay way, const RgbPicture& picture, const unsigned char* file, std::size_t file_size,
                           Placement placement, bool unicode);

// What closes whatever the way's bytes may have left open when cut off
// anywhere: the string and the colours. Harmless where nothing is open.
const char* closing_for_cut_picture(PictureWay way);

// Each way alone, for the tests and the benchmark.
std::string encode_kitty(const RgbPicture& picture);  // one pixel to a screen pixel
std::string encode_iterm2(const unsigned char* file, std::size_t size, int columns, int rows);
std::string encode_sixel(const RgbPicture& picture);  // at its own size
// A cell for 1 × 2 pixels, each line in the fewest bytes: an upper or a lower
// half block or a space, each colour sent only where the terminal does not
// hold it; without `unicode` a space for each pixel. `way` is one of the
// half-block ways; a palette way dithers.
std::string encode_half_blocks(const RgbPicture& picture, PictureWay way, bool unicode);

// ---- the palettes

// The colour a palette index of the half-block `way` shows, as the program
// takes it: 0 .. 15 the terminal's own sixteen, which each terminal sets as it
// likes: xterm's defaults, near most terminals' own, and the VGA colours of
// the Linux console; 16 .. 231 the 6 × 6 × 6 cube, 232 .. 255 the greys.
void palette_color(PictureWay way, int index, unsigned char rgb[3]);

// Each pixel's palette index for the half-block `way` (256, 16 or 8 colours),
// with the error diffused to the pixels not yet chosen, so that an area's
// average stays the picture's. With `unicode` the even rows are foregrounds,
// the odd rows backgrounds; without, every row is a background. The Linux
// console has no bright backgrounds: 16 colours above, 8 below.
std::vector<unsigned char> palette_indices(const RgbPicture& picture, PictureWay way, bool unicode);
