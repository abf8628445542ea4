#pragma once
// The window side of the audio player's start-up failure: the player below the widgets only names the
// problem, the user sees it here.

// From now on a player that cannot start shows its text in a modal critical message box with the program's
// title and an OK button, and goes on (to end the program) once the box is dismissed. Call it once the
// QApplication exists and before the main window makes its player.
void installAudioStartupReport();
