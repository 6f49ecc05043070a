#pragma once

// What `tumbla --help` prints. Plain C as well as C++: the launcher, which answers it without
// starting the game, is C.
static const char kTumblaUsage[] =
    "Usage: tumbla [--bundle DIR] [--data-dir DIR] [--device iphone|ipad] [--trace FILE]\n"
    "              [--fullscreen] [--inspector] [--audio-record FILE.wav] [--mute]\n"
    "              [--help] [--version]\n"
    "\n"
    "  --bundle DIR      the game bundle: Info.plist, Defaults.plist, the page and its files\n"
    "                    (default: the resources installed with tumbla)\n"
    "  --data-dir DIR    keep the saved game (DIR/Documents) and the settings\n"
    "                    (DIR/preferences.plist) under DIR instead of the XDG directories\n"
    "  --device KIND     iphone (480x320, the default) or ipad (1024x768)\n"
    "  --trace FILE      write every bridge event to FILE, one JSON object per line\n"
    "  --fullscreen      start in full screen (F11 toggles it)\n"
    "  --inspector       open the web engine's developer tools beside the game\n"
    "  --audio-record FILE.wav\n"
    "                    write everything the game plays to FILE.wav (16-bit PCM at\n"
    "                    48000 Hz, stereo), exactly as the mixer hands it out\n"
    "  --mute            play nothing aloud (the mixer still runs, for --audio-record)\n"
    "  --help            show this help\n"
    "  --version         show the version\n"
    "\n"
    "Keys: Ctrl+Shift+S shakes the device (undo, when the player has shake-to-undo on);\n"
    "F11 toggles full screen.\n";
