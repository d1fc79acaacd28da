// The program: pictures one after another until the user quits.
#pragma once

// Seeds the generator from the clock, then for each picture: grows it while
// answering keys (Escape, Q or q stop it; P or p show the preview), shows the
// preview, saves and opens it unless stopped, prints a summary and waits for a
// key: Escape, Q or q end the program, any other starts the next picture.
// Returns the exit status, 0.
int main_loop();
