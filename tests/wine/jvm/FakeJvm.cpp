// The fake VM's classes, objects, references, environments and violations.
#include "FakeJvm.h"

#include <algorithm>
#include <cstdio>

namespace fakejvm {

bool Class::extends(const Class* other) const {
  for (const Class* c = this; c; c = c->super) {
    if (c == other) return true;
  }
  return false;
}

namespace {

// A new method or field of `owner`, with its name and signature.
template <typename Member>
Member& addMember(std::deque<Member>& members, Class* owner, const std::string& name,
                  const std::string& signature) {
  Member& member = members.emplace_back();
  member.owner = owner;
  member.name = name;
  member.signature = signature;
  return member;
}

}  // namespace

Method& Class::method(const std::string& methodName, const std::string& signature, Body body) {
  Method& m = addMember(methods, this, methodName, signature);
  m.body = std::move(body);
  if (!parseSignature(signature, &m.parameters, &m.result)) {
    std::fprintf(stderr, "fakejvm: bad signature %s\n", signature.c_str());
    std::abort();
  }
  return m;
}

Field& Class::field(const std::string& fieldName, const std::string& signature, bool isStatic) {
  Field& f = addMember(fields, this, fieldName, signature);
  f.isStatic = isStatic;
  f.staticValue.type = signature[0] == '[' ? 'L' : signature[0];
  return f;
}

bool parseSignature(const std::string& s, std::vector<std::string>* parameters, std::string* result) {
  if (s.empty() || s[0] != '(') return false;
  size_t i = 1;
  auto one = [&s](size_t& at) -> std::string {
    size_t start = at;
    while (at < s.size() && s[at] == '[') ++at;
    if (at >= s.size()) return "";
    if (s[at] == 'L') {
      size_t end = s.find(';', at);
      if (end == std::string::npos) return "";
      at = end + 1;
    } else if (std::string("ZBCSIJFDV").find(s[at]) != std::string::npos) {
      ++at;
    } else {
      return "";
    }
    return s.substr(start, at - start);
  };
  parameters->clear();
  while (i < s.size() && s[i] != ')') {
    std::string type = one(i);
    if (type.empty() || type == "V") return false;
    parameters->push_back(type);
  }
  if (i >= s.size()) return false;
  ++i;
  *result = one(i);
  return !result->empty() && i == s.size();
}

std::string utf8Of(const std::u16string& text) {
  std::string out;
  for (char16_t c : text) {
    if (c < 0x80) {
      out += static_cast<char>(c);
    } else if (c < 0x800) {
      out += static_cast<char>(0xC0 | (c >> 6));
      out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
      out += static_cast<char>(0xE0 | (c >> 12));
      out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (c & 0x3F));
    }
  }
  return out;
}

// ---- Env -----------------------------------------------------------------------------------

Env::Env(Vm& vm, DWORD thread) : vm_(vm), thread_(thread) {
  functions = nativeInterface();
  frames_.emplace_back();  // the thread's base frame
}

jobject Env::local(Object* object) {
  if (!object) return nullptr;
  Ref* ref = vm_.newRef(object, false, this, frames_.size() - 1);
  frames_.back().push_back(ref);
  return reinterpret_cast<jobject>(ref);
}

Object* Env::deref(jobject handle, const char* function) {
  if (!handle) return nullptr;
  Ref* ref = reinterpret_cast<Ref*>(handle);
  if (!ref->live) {
    vm_.violation(std::string(function) + ": a deleted reference");
    return nullptr;
  }
  if (!ref->global && ref->owner != this) {
    vm_.violation(std::string(function) + ": a local reference of another thread");
  }
  return ref->object;
}

void Env::pushFrame() { frames_.emplace_back(); }

size_t Env::popFrame(jobject result) {
  size_t left = 0;
  for (Ref* ref : frames_.back()) {
    if (ref->live && reinterpret_cast<jobject>(ref) != result) ++left;
    ref->live = false;
  }
  frames_.pop_back();
  if (frames_.empty()) frames_.emplace_back();
  return left;
}

void Env::throwNew(const std::string& className, const std::string& message) {
  Class* cls = vm_.findClass(className);
  if (!cls) {
    std::fprintf(stderr, "fakejvm: no class %s to throw\n", className.c_str());
    std::abort();
  }
  Object* exception = vm_.newObject(cls);
  exception->message = message;
  pending_ = exception;
}

bool Env::enter(const char* function, bool allowedWhilePending) {
  if (GetCurrentThreadId() != thread_) {
    vm_.violation(std::string(function) + ": JNIEnv used on another thread");
  }
  if (pending_ && !allowedWhilePending) {
    vm_.violation(std::string(function) + " called with an exception pending (" +
                  pending_->cls->name + ": " + pending_->message + ")");
    return false;
  }
  return true;
}

// ---- Vm ------------------------------------------------------------------------------------

Vm::Vm() {
  functions = invokeInterface();
  defineClass("java/lang/Object", "");
  defineClass("java/lang/Class", "java/lang/Object");
  defineClass("[I", "java/lang/Object");
  auto env = std::make_unique<Env>(*this, GetCurrentThreadId());
  main_ = env.get();
  envs_[GetCurrentThreadId()] = std::move(env);
}

Vm::~Vm() = default;

Class& Vm::defineClass(const std::string& name, const std::string& super) {
  std::lock_guard<std::recursive_mutex> guard(lock_);
  auto cls = std::make_unique<Class>();
  cls->name = name;
  cls->super = super.empty() ? nullptr : findClass(super);
  Class& result = *cls;
  classes_[name] = std::move(cls);
  return result;
}

Class* Vm::findClass(const std::string& name) {
  std::lock_guard<std::recursive_mutex> guard(lock_);
  auto found = classes_.find(name);
  return found == classes_.end() ? nullptr : found->second.get();
}

Object* Vm::newObject(Class* cls) {
  std::lock_guard<std::recursive_mutex> guard(lock_);
  Object& object = objects_.emplace_back();
  object.cls = cls;
  for (const Class* c = cls; c; c = c->super) {
    for (const Field& f : c->fields) {
      if (!f.isStatic) object.fields[&f] = Value::ofInt(f.signature[0], 0);
    }
  }
  return &object;
}

Object* Vm::newString(const std::u16string& text) {
  Object* s = newObject(findClass("java/lang/String"));
  s->text = text;
  return s;
}

Object* Vm::newIntArray(const std::vector<jint>& values) {
  Object* array = newObject(findClass("[I"));
  array->ints = values;
  return array;
}

Object* Vm::mirror(Class* cls) {
  std::lock_guard<std::recursive_mutex> guard(lock_);
  if (!cls->mirror) {
    cls->mirror = newObject(findClass("java/lang/Class"));
    cls->mirror->mirrorOf = cls;
  }
  return cls->mirror;
}

Env* Vm::envOfThisThread() {
  std::lock_guard<std::recursive_mutex> guard(lock_);
  auto found = envs_.find(GetCurrentThreadId());
  return found == envs_.end() ? nullptr : found->second.get();
}

Env* Vm::attach(bool) {
  std::lock_guard<std::recursive_mutex> guard(lock_);
  ++attaches_;
  auto& slot = envs_[GetCurrentThreadId()];
  if (!slot) slot = std::make_unique<Env>(*this, GetCurrentThreadId());
  return slot.get();
}

jint Vm::detach() {
  std::lock_guard<std::recursive_mutex> guard(lock_);
  ++detaches_;
  auto found = envs_.find(GetCurrentThreadId());
  if (found == envs_.end()) return JNI_EDETACHED;
  if (found->second.get() == main_) {
    violation("DetachCurrentThread on the thread that runs the native method");
    return JNI_ERR;
  }
  // The environment stays allocated, so that a later use of it is seen as a use on a thread
  // it no longer belongs to rather than a crash.
  found->second.release();
  envs_.erase(found);
  return JNI_OK;
}

void Vm::violation(const std::string& what) {
  std::lock_guard<std::recursive_mutex> guard(lock_);
  violations_.push_back(what);
}

std::vector<std::string> Vm::violations() {
  std::lock_guard<std::recursive_mutex> guard(lock_);
  return violations_;
}

void Vm::clearViolations() {
  std::lock_guard<std::recursive_mutex> guard(lock_);
  violations_.clear();
}

void Vm::charsHandedOut(const jchar* chars) {
  std::lock_guard<std::recursive_mutex> guard(lock_);
  chars_.push_back(chars);
}

bool Vm::charsReleased(const jchar* chars) {
  std::lock_guard<std::recursive_mutex> guard(lock_);
  auto found = std::find(chars_.begin(), chars_.end(), chars);
  if (found == chars_.end()) return false;
  chars_.erase(found);
  return true;
}

size_t Vm::charsOutstanding() {
  std::lock_guard<std::recursive_mutex> guard(lock_);
  return chars_.size();
}

Ref* Vm::newRef(Object* object, bool global, Env* owner, size_t frame) {
  std::lock_guard<std::recursive_mutex> guard(lock_);
  Ref& ref = refs_.emplace_back();
  ref.object = object;
  ref.global = global;
  ref.owner = owner;
  ref.frame = frame;
  return &ref;
}

long Vm::liveGlobals() {
  std::lock_guard<std::recursive_mutex> guard(lock_);
  return static_cast<long>(std::count_if(refs_.begin(), refs_.end(),
                                         [](const Ref& r) { return r.global && r.live; }));
}

}  // namespace fakejvm
