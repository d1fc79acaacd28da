// Whether a desktop is there to show a picture in a viewer of its own; where
// none is, the terminal is the viewer.
#pragma once

bool graphical_session();
