#pragma once
// The life of server class instances: making one (through the class's create hook or
// from its declaration, an adapted class with its adapter around it), destroying one
// (through the destroy hook when there is one), and TDSHashtableInstanceProvider, a
// table of instances by class name. The registry keeps one table for the classes that
// live as long as the server ("Server"); each connection keeps one for the classes that
// live as long as the connection ("Session").
//
// Threading: a table is searched and filled under its own lock, so connections sharing
// the registry's table get one instance per class. Calls on a shared instance are not
// serialised: the methods of a "Server" class do their own locking.

#include <cstddef>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "server/methods/class_info.h"
#include "server/methods/server_events.h"

namespace tavrin {

namespace TDSLifeCycleErrors {
inline constexpr char kUnknown[] = "Unknown LifeCycle:  ";  // two blanks; the text follows
}  // namespace TDSLifeCycleErrors

namespace TDSInstanceErrors {
inline constexpr char kNoCreate[] = " offers no way to create an instance";
}  // namespace TDSInstanceErrors

// A new instance of Class: the component's OnCreateInstance first (Event's instance is
// cleared before, and what the hook leaves there is taken); else the declaration's
// Create. For an adapted class the instance is the adapter around the class's object.
// Returns null when neither produced one. What the hook or the creation raises
// propagates; nothing is kept then.
std::unique_ptr<TDSServerObject> CreateServerClassInstance(const TDSClassInfo& Class,
                                                           TDSCreateInstanceEventObject& Event);

// Destroys Instance of Class: through the component's OnDestroyInstance when there is
// one (given the wrapped object of an adapter, the adapter itself being freed without
// it), and frees whatever the hook left in Event. Otherwise the instance is simply freed
// (an adapter with its object). What the hook raises propagates after the instance is
// gone.
void DestroyServerClassInstance(const TDSClassInfo& Class, std::unique_ptr<TDSServerObject> Instance,
                                TDSDestroyInstanceEventObject& Event);

class TDSHashtableInstanceProvider {
 public:
  using TCreate = std::function<std::unique_ptr<TDSServerObject>()>;
  // Destroys one instance of a class; called for every entry when the table is cleared.
  using TDestroy = std::function<void(const TDSClassInfo& Class, std::unique_ptr<TDSServerObject> Instance)>;

  explicit TDSHashtableInstanceProvider(TDestroy Destroy) : FDestroy(std::move(Destroy)) {}
  // Destroys every instance, newest first.
  ~TDSHashtableInstanceProvider();

  TDSHashtableInstanceProvider(const TDSHashtableInstanceProvider&) = delete;
  TDSHashtableInstanceProvider& operator=(const TDSHashtableInstanceProvider&) = delete;

  // The instance of Class (by class name, ignoring ASCII letter case). When there is
  // none, Create makes one, under the table's lock, and it is entered. What Create
  // raises propagates and nothing is entered, so the next call tries again; a null from
  // Create raises TDBXError code 0 "Unknown LifeCycle:  <the class's life cycle>".
  // The table keeps ownership; the instance lives until the table is cleared.
  TDSServerObject& GetInstance(const TDSClassInfo& Class, const TCreate& Create);

  std::size_t Count() const;
  // Destroys every instance, newest first. A failing destruction does not stop the
  // others; the first failure is raised once all are gone.
  void Clear();

 private:
  struct TItem {
    std::string Key;  // the class name in upper case
    const TDSClassInfo* Class = nullptr;
    std::unique_ptr<TDSServerObject> Instance;
  };

  TDestroy FDestroy;
  mutable std::mutex FLock;  // guards FItems
  std::vector<TItem> FItems;  // oldest first; a handful of classes, searched in order
};

}  // namespace tavrin
