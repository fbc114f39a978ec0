#pragma once

// Prompt sounds: wave files of the site folder, named as the screens name them (".\wav\1.wav").
// flags 0 plays synchronously (returns when the sound has ended), 1 in the background. A missing
// file, player or sound device is silent and never holds the caller for longer than the sound.

#include <QString>

#include <functional>

void PlaySound(const QString &name, int flags);

// Tests replace the player to hear what was played; the path is the resolved file.
using SoundPlayer = std::function<void(const QString &path, bool synchronous)>;
void SetSoundPlayer(SoundPlayer player); // nullptr: the default player
