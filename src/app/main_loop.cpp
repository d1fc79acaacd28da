#include "main_loop.h"

#include <cstdio>

#include "preview.h"
#include "bmp.h"
#include "growth.h"
#include "host.h"
#include "random.h"

namespace {

constexpr int TEXT_BUFFER_SIZE = 270;  // the working directory, then the file name
constexpr int COMMAND_BUFFER_SIZE = 520;
constexpr int PAUSE_MS = 5;  // between batches, so the program leaves the processor to others
static_assert(TEXT_BUFFER_SIZE >= BMP_NAME_SIZE);

constexpr char INTRO[] = "\n\nGenerating image...I'll write a BMP image file to the current directory:";
constexpr char VIEWER_LINE[] = "...and then call your default image-viewing program to display the file.\n";
constexpr char MENU[] = "Menu:\nESC - stop image creation/Quit prog\nP   - show Progress";
constexpr char SUMMARY[] = "\nlocii = %d   loops = %d  secs: %d\n";
constexpr std::size_t SUMMARY_SIZE = sizeof SUMMARY + std::size_t{3} * 11;  // room for three numbers

void write_line(const char* text) { print_text("%s\n", text); }

bool is_quit_key(int key) { return key == 27 || key == 'Q' || key == 'q'; }
bool is_preview_key(int key) { return key == 'P' || key == 'p'; }

// Acts on a key read while the picture grows; true when it stops the picture.
bool act_on_key(int key) {
    if (is_preview_key(key)) {
        put_char('\n');
        show_progress(GRID_WIDTH, GRID_HEIGHT);
    }
    write_line(MENU);
    return is_quit_key(key);
}

// Without a desktop, the picture just saved in the terminal, between the
// line that names its file and the `summary` and menu that follow it, which
// must stay on the screen.
void show_in_terminal_above(const char* summary) {
    std::size_t size = 0;
    const char* saved_line = nullptr;
    const unsigned char* bytes = saved_image(&size, &saved_line);
    char below[SUMMARY_SIZE + sizeof MENU + 1];
    (void)std::snprintf(below, sizeof below, "%s%s\n", summary, MENU);  // the cursor waits on the line after the menu
    show_in_terminal(bytes, size, saved_line, below);
}

}  // namespace

int main_loop() {
    setSeed(wall_time_seconds());
    char text[TEXT_BUFFER_SIZE];
    char command[COMMAND_BUFFER_SIZE];
    for (;;) {
        const std::int32_t t0 = elapsed_ms();
        write_line(INTRO);
        text[0] = '\0';  // never show the last picture's file name as the directory
        current_directory(text, TEXT_BUFFER_SIZE);
        print_untrusted(text);  // a directory name may hold what a terminal would obey
        print_text("\n");
        write_line(VIEWER_LINE);
        write_line(MENU);

        clear_grid();
        completed_count = 0;
        locii = 0;
        std::int32_t loops = 0;
        bool stopped = false;
        while (!image_full(GRID_WIDTH, GRID_HEIGHT) && !stopped) {
            grow_batch(GRID_WIDTH, GRID_HEIGHT);
            ++loops;
            sleep_ms(PAUSE_MS);
            if (key_available()) stopped = act_on_key(read_key());
        }
        // A key pressed before the grid was full counts, even one decided only
        // after it: an Escape waits a moment for what may follow it.
        while (!stopped && key_undecided()) {
            sleep_ms(PAUSE_MS);
            if (key_available()) stopped = act_on_key(read_key());
        }

        print_text("\n");
        show_progress(GRID_WIDTH, GRID_HEIGHT);
        // Opened only once written: a failed write would open an older file of
        // the same name, or nothing at all.
        const bool saved = !stopped && write_image(GRID_WIDTH, GRID_HEIGHT, text) == 1;
        if (saved) {
            (void)std::snprintf(command, sizeof command, "start %s", text);
            run_command(command);
        }
        // The time of the picture's making; a picture drawn in the terminal
        // comes after it, below the line that names the file.
        const std::int32_t t1 = elapsed_ms();
        char summary[SUMMARY_SIZE];
        (void)std::snprintf(summary, sizeof summary, SUMMARY, locii, loops, ms_between(t0, t1) / 1000);
        if (saved) show_in_terminal_above(summary);
        print_text("%s", summary);
        write_line(MENU);

        if (is_quit_key(read_key())) return 0;
    }
}
