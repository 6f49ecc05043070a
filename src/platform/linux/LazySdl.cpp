// SDL's functions the host uses, loaded with the library when first called.

#include <SDL.h>

#include "platform/linux/LazyLibrary.h"

namespace {

using tumbla::LazyLibrary;

}  // namespace

extern "C" {

SDL_bool SDL_SetHint(const char* name, const char* value) {
  TUMBLA_LAZY_FUNCTION(LazyLibrary::sdl(), SDL_SetHint);
  return real(name, value);
}

int SDL_InitSubSystem(Uint32 flags) {
  TUMBLA_LAZY_FUNCTION(LazyLibrary::sdl(), SDL_InitSubSystem);
  return real(flags);
}

void SDL_QuitSubSystem(Uint32 flags) {
  TUMBLA_LAZY_FUNCTION(LazyLibrary::sdl(), SDL_QuitSubSystem);
  real(flags);
}

const char* SDL_GetError() {
  TUMBLA_LAZY_FUNCTION(LazyLibrary::sdl(), SDL_GetError);
  return real();
}

SDL_GameController* SDL_GameControllerOpen(int joystickIndex) {
  TUMBLA_LAZY_FUNCTION(LazyLibrary::sdl(), SDL_GameControllerOpen);
  return real(joystickIndex);
}

void SDL_GameControllerClose(SDL_GameController* controller) {
  TUMBLA_LAZY_FUNCTION(LazyLibrary::sdl(), SDL_GameControllerClose);
  real(controller);
}

SDL_JoystickID SDL_JoystickGetDeviceInstanceID(int deviceIndex) {
  TUMBLA_LAZY_FUNCTION(LazyLibrary::sdl(), SDL_JoystickGetDeviceInstanceID);
  return real(deviceIndex);
}

void SDL_PumpEvents() {
  TUMBLA_LAZY_FUNCTION(LazyLibrary::sdl(), SDL_PumpEvents);
  real();
}

int SDL_PeepEvents(SDL_Event* events, int count, SDL_eventaction action, Uint32 minType,
                   Uint32 maxType) {
  TUMBLA_LAZY_FUNCTION(LazyLibrary::sdl(), SDL_PeepEvents);
  return real(events, count, action, minType, maxType);
}

void SDL_FlushEvents(Uint32 minType, Uint32 maxType) {
  TUMBLA_LAZY_FUNCTION(LazyLibrary::sdl(), SDL_FlushEvents);
  real(minType, maxType);
}

const char* SDL_GetCurrentAudioDriver() {
  TUMBLA_LAZY_FUNCTION(LazyLibrary::sdl(), SDL_GetCurrentAudioDriver);
  return real();
}

SDL_AudioDeviceID SDL_OpenAudioDevice(const char* device, int isCapture,
                                      const SDL_AudioSpec* desired, SDL_AudioSpec* obtained,
                                      int allowedChanges) {
  TUMBLA_LAZY_FUNCTION(LazyLibrary::sdl(), SDL_OpenAudioDevice);
  return real(device, isCapture, desired, obtained, allowedChanges);
}

void SDL_PauseAudioDevice(SDL_AudioDeviceID device, int pauseOn) {
  TUMBLA_LAZY_FUNCTION(LazyLibrary::sdl(), SDL_PauseAudioDevice);
  real(device, pauseOn);
}

void SDL_CloseAudioDevice(SDL_AudioDeviceID device) {
  TUMBLA_LAZY_FUNCTION(LazyLibrary::sdl(), SDL_CloseAudioDevice);
  real(device);
}

SDL_AudioStream* SDL_NewAudioStream(const SDL_AudioFormat fromFormat, const Uint8 fromChannels,
                                    const int fromRate, const SDL_AudioFormat toFormat,
                                    const Uint8 toChannels, const int toRate) {
  TUMBLA_LAZY_FUNCTION(LazyLibrary::sdl(), SDL_NewAudioStream);
  return real(fromFormat, fromChannels, fromRate, toFormat, toChannels, toRate);
}

int SDL_AudioStreamPut(SDL_AudioStream* stream, const void* data, int length) {
  TUMBLA_LAZY_FUNCTION(LazyLibrary::sdl(), SDL_AudioStreamPut);
  return real(stream, data, length);
}

int SDL_AudioStreamGet(SDL_AudioStream* stream, void* data, int length) {
  TUMBLA_LAZY_FUNCTION(LazyLibrary::sdl(), SDL_AudioStreamGet);
  return real(stream, data, length);
}

int SDL_AudioStreamAvailable(SDL_AudioStream* stream) {
  TUMBLA_LAZY_FUNCTION(LazyLibrary::sdl(), SDL_AudioStreamAvailable);
  return real(stream);
}

int SDL_AudioStreamFlush(SDL_AudioStream* stream) {
  TUMBLA_LAZY_FUNCTION(LazyLibrary::sdl(), SDL_AudioStreamFlush);
  return real(stream);
}

void SDL_AudioStreamClear(SDL_AudioStream* stream) {
  TUMBLA_LAZY_FUNCTION(LazyLibrary::sdl(), SDL_AudioStreamClear);
  real(stream);
}

void SDL_FreeAudioStream(SDL_AudioStream* stream) {
  TUMBLA_LAZY_FUNCTION(LazyLibrary::sdl(), SDL_FreeAudioStream);
  real(stream);
}

}  // extern "C"
