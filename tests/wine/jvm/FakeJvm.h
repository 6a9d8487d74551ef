// A strict fake Java VM for the Windows test programs: just the JNI the library uses, over
// classes defined in C++. It records a violation, and the running scenario fails, for any
// JNI call other than the exception and reference functions while an exception is pending,
// a JNIEnv used on a thread it does not belong to, an argument of the wrong class for a
// method's signature, a call of the wrong result type, a dangling or deleted reference,
// string characters never released, and local references a native call leaves behind.
#pragma once

#include <windows.h>

#include <jni.h>

#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace fakejvm {

struct Class;
struct Object;
class Env;
class Vm;

// A Java value; `l` for references.
struct Value {
  char type = 'V';  // the signature letter: Z B C S I J F D L V
  jlong j = 0;      // Z B C S I J
  jdouble d = 0;    // F D
  Object* l = nullptr;

  static Value ofInt(char type, jlong v) { Value r; r.type = type; r.j = v; return r; }
  static Value ofReal(char type, jdouble v) { Value r; r.type = type; r.d = v; return r; }
  static Value ofObject(Object* o) { Value r; r.type = 'L'; r.l = o; return r; }
  static Value none() { return Value(); }
};

// A method's body: `self` is the receiver, for <init> the new object. It throws with
// env.throwNew(...).
using Body = std::function<Value(Env& env, Object* self, const std::vector<Value>& args)>;

struct Method {
  Class* owner = nullptr;
  std::string name, signature;
  std::vector<std::string> parameters;  // "I", "Ljava/lang/String;", ...
  std::string result;
  Body body;
};

struct Field {
  Class* owner = nullptr;
  std::string name, signature;
  bool isStatic = false;
  Value staticValue;
};

struct Class {
  std::string name;
  Class* super = nullptr;
  std::deque<Method> methods;
  std::deque<Field> fields;
  Object* mirror = nullptr;  // the java.lang.Class object the VM hands out

  bool extends(const Class* other) const;
  Method& method(const std::string& name, const std::string& signature, Body body);
  Field& field(const std::string& name, const std::string& signature, bool isStatic = false);
};

struct Object {
  Class* cls = nullptr;
  Class* mirrorOf = nullptr;  // for class objects
  std::map<const Field*, Value> fields;
  std::u16string text;  // strings
  std::vector<jint> ints;  // int arrays
  // Throwables
  std::string message;
  std::vector<Object*> suppressed;
  std::map<std::string, Value> extra;  // what a host constructor records (code, file, line)
};

// A reference as the library holds it: jobject points at one of these.
struct Ref {
  Object* object = nullptr;
  bool global = false;
  bool live = true;
  Env* owner = nullptr;  // local references: the environment (and frame) that made it
  size_t frame = 0;
};

class Env : public JNIEnv {
 public:
  Env(Vm& vm, DWORD thread);

  Vm& vm() { return vm_; }
  DWORD thread() const { return thread_; }

  // References.
  jobject local(Object* object);
  Object* deref(jobject ref, const char* function);  // null for null; a violation if dead
  void pushFrame();
  // Ends the innermost frame; returns how many local references it still held, besides
  // `result` (the reference a native returns, if any).
  size_t popFrame(jobject result);

  // Exceptions.
  Object* pending() const { return pending_; }
  void setPending(Object* exception) { pending_ = exception; }
  void throwNew(const std::string& className, const std::string& message);

  // Checks made at the entry of every JNI function: the thread, and (unless the function
  // is one of the exception and reference functions) no exception pending.
  bool enter(const char* function, bool allowedWhilePending = false);

 private:
  Vm& vm_;
  DWORD thread_;
  Object* pending_ = nullptr;
  std::vector<std::vector<Ref*>> frames_;
};

class Vm : public JavaVM {
 public:
  Vm();
  ~Vm();

  Class& defineClass(const std::string& name, const std::string& super);
  Class* findClass(const std::string& name);
  Object* newObject(Class* cls);
  Object* newString(const std::u16string& text);
  Object* newIntArray(const std::vector<jint>& values);
  Object* mirror(Class* cls);

  // The environment of the calling thread, made when the test itself attaches the thread
  // (mainEnv for the thread that made the VM). Null when the thread is not attached.
  Env* envOfThisThread();
  Env& mainEnv() { return *main_; }
  Env* attach(bool daemon);
  jint detach();
  int attachCount() const { return attaches_; }
  int detachCount() const { return detaches_; }

  // Violations of the JNI rules, in order; a scenario asserts there are none.
  void violation(const std::string& what);
  std::vector<std::string> violations();
  void clearViolations();

  // String characters handed out by GetStringChars and not yet released.
  void charsHandedOut(const jchar* chars);
  bool charsReleased(const jchar* chars);
  size_t charsOutstanding();

  Ref* newRef(Object* object, bool global, Env* owner, size_t frame);
  long liveGlobals();

 private:
  std::recursive_mutex lock_;
  std::map<std::string, std::unique_ptr<Class>> classes_;
  std::deque<Object> objects_;
  std::deque<Ref> refs_;
  std::map<DWORD, std::unique_ptr<Env>> envs_;
  Env* main_ = nullptr;
  std::vector<std::string> violations_;
  std::vector<const jchar*> chars_;
  int attaches_ = 0, detaches_ = 0;
};

// The function tables: every entry the library may not use fails the scenario by name.
const JNINativeInterface_* nativeInterface();
const JNIInvokeInterface_* invokeInterface();

// Splits a method signature into its parameter types and result type.
bool parseSignature(const std::string& signature, std::vector<std::string>* parameters,
                    std::string* result);

std::string utf8Of(const std::u16string& text);

}  // namespace fakejvm
