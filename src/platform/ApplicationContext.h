#pragma once

#include <memory>
#include <set>
#include <string>
#include <string_view>
#include <typeindex>
#include <utility>
#include <vector>

#include "platform/Platform.h"

namespace tumbla {

// The one owner of the process's state: the platform, the shared instances that the
// components answer from their accessors (the sound manager, the playlist, the prompts, ...)
// and what is done or said once per run. `main` installs one for the program; each test
// installs its own, and dropping it resets everything. Shared instances are made on first
// use and destroyed in the reverse order, before the platform they were made on, while that
// platform is still the current one.
class ApplicationContext {
 public:
  // Makes a context around `platform` the current one, after dropping the one before.
  static ApplicationContext& install(std::unique_ptr<Platform> platform);
  // Drops the current context, if any.
  static void uninstall();
  // The current context; there must be one (asking without one is a programming error).
  static ApplicationContext& current();

  ~ApplicationContext();
  ApplicationContext(const ApplicationContext&) = delete;
  ApplicationContext& operator=(const ApplicationContext&) = delete;

  Platform& platform() { return *platform_; }

  // The context's instance of `Component`, made on first use.
  template <class Component>
  Component& sharedInstance() {
    for (const Instance& instance : instances_) {
      if (instance.type == typeid(Component))
        return *static_cast<Component*>(instance.object.get());
    }
    auto made = std::make_unique<Component>();
    Component& instance = *made;
    instances_.push_back({typeid(Component), std::shared_ptr<void>(std::move(made))});
    return instance;
  }

  // The current context's instance of `Component` if there is a context and the instance
  // has been made (and is not being destroyed): what a component going away looks up, which
  // may outlive its context.
  template <class Component>
  static Component* existingInstance() {
    if (!installed()) return nullptr;
    for (const Instance& instance : installed()->instances_) {
      if (instance.type == typeid(Component)) return static_cast<Component*>(instance.object.get());
    }
    return nullptr;
  }

  // True the first time it is asked about `what` in this context: for what a run does or
  // says only once.
  bool firstTime(std::string_view what) { return onceDone_.emplace(what).second; }

 private:
  struct Instance {
    std::type_index type;
    std::shared_ptr<void> object;
  };

  explicit ApplicationContext(std::unique_ptr<Platform> platform);
  static std::unique_ptr<ApplicationContext>& installed();
  // Destroys the shared instances, newest first; one may make or look up another while it
  // goes, so each leaves the list before it is destroyed.
  void destroySharedInstances();

  std::unique_ptr<Platform> platform_;
  std::vector<Instance> instances_;
  std::set<std::string, std::less<>> onceDone_;
};

}  // namespace tumbla
