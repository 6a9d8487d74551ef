// The fake VM's JNI function tables. Each function the library uses checks its thread, the
// pending exception (the exception and reference functions excepted) and its arguments'
// classes against the signature; every other entry records a violation naming its slot.
#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <utility>

#include "FakeJvm.h"

namespace fakejvm {
namespace {

Env& envOf(JNIEnv* env) { return *static_cast<Env*>(env); }
Vm& vmOf(JavaVM* vm) { return *static_cast<Vm*>(vm); }

Class* classOf(Env& e, jclass cls, const char* function) {
  Object* mirror = e.deref(cls, function);
  if (!mirror || !mirror->mirrorOf) {
    e.vm().violation(std::string(function) + ": not a class");
    return nullptr;
  }
  return mirror->mirrorOf;
}

// ---- Unused entries --------------------------------------------------------------------

constexpr size_t kSlots = sizeof(JNINativeInterface_) / sizeof(void*);

template <size_t Slot>
void JNICALL unsupported(JNIEnv* env) {
  char text[96];
  std::snprintf(text, sizeof text, "JNI function table entry %u, which the fake VM does not offer",
                static_cast<unsigned>(Slot));
  envOf(env).vm().violation(text);
  std::fprintf(stderr, "fakejvm: %s\n", text);
  std::fflush(stderr);
  std::abort();  // its result and argument layout are unknown: the call cannot go on
}

template <size_t... Slots>
void fillUnsupported(void** table, std::index_sequence<Slots...>) {
  ((table[Slots] = reinterpret_cast<void*>(&unsupported<Slots>)), ...);
}

// ---- Classes and members -----------------------------------------------------------------

jclass JNICALL FindClass(JNIEnv* env, const char* name) {
  Env& e = envOf(env);
  if (!e.enter("FindClass")) return nullptr;
  Class* cls = e.vm().findClass(name ? name : "");
  if (!cls) {
    e.throwNew("java/lang/NoClassDefFoundError", name ? name : "(null)");
    return nullptr;
  }
  return static_cast<jclass>(e.local(e.vm().mirror(cls)));
}

jboolean JNICALL IsAssignableFrom(JNIEnv* env, jclass sub, jclass sup) {
  Env& e = envOf(env);
  if (!e.enter("IsAssignableFrom")) return JNI_FALSE;
  Class* a = classOf(e, sub, "IsAssignableFrom");
  Class* b = classOf(e, sup, "IsAssignableFrom");
  return a && b && a->extends(b) ? JNI_TRUE : JNI_FALSE;
}

jclass JNICALL GetObjectClass(JNIEnv* env, jobject object) {
  Env& e = envOf(env);
  if (!e.enter("GetObjectClass")) return nullptr;
  Object* o = e.deref(object, "GetObjectClass");
  if (!o) {
    e.vm().violation("GetObjectClass of null");
    return nullptr;
  }
  return static_cast<jclass>(e.local(e.vm().mirror(o->cls)));
}

jboolean JNICALL IsInstanceOf(JNIEnv* env, jobject object, jclass cls) {
  Env& e = envOf(env);
  if (!e.enter("IsInstanceOf")) return JNI_FALSE;
  Object* o = e.deref(object, "IsInstanceOf");
  Class* c = classOf(e, cls, "IsInstanceOf");
  return !o || (c && o->cls->extends(c)) ? JNI_TRUE : JNI_FALSE;
}

Method* findMethod(Class* cls, const char* name, const char* signature) {
  for (Class* c = cls; c; c = c->super) {
    for (Method& m : c->methods) {
      if (m.name == name && m.signature == signature) return &m;
    }
    if (std::string(name) == "<init>") break;  // constructors are not inherited
  }
  return nullptr;
}

jmethodID JNICALL GetMethodID(JNIEnv* env, jclass cls, const char* name, const char* signature) {
  Env& e = envOf(env);
  if (!e.enter("GetMethodID")) return nullptr;
  Class* c = classOf(e, cls, "GetMethodID");
  Method* m = c ? findMethod(c, name, signature) : nullptr;
  if (!m) {
    e.throwNew("java/lang/NoSuchMethodError", std::string(name) + signature);
    return nullptr;
  }
  return reinterpret_cast<jmethodID>(m);
}

Field* findField(Class* cls, const char* name, const char* signature, bool isStatic) {
  for (Class* c = cls; c; c = c->super) {
    for (Field& f : c->fields) {
      if (f.name == name && f.signature == signature && f.isStatic == isStatic) return &f;
    }
  }
  return nullptr;
}

jfieldID fieldId(JNIEnv* env, jclass cls, const char* name, const char* signature, bool isStatic,
                 const char* function) {
  Env& e = envOf(env);
  if (!e.enter(function)) return nullptr;
  Class* c = classOf(e, cls, function);
  Field* f = c ? findField(c, name, signature, isStatic) : nullptr;
  if (!f) {
    e.throwNew("java/lang/NoSuchFieldError", name);
    return nullptr;
  }
  return reinterpret_cast<jfieldID>(f);
}

jfieldID JNICALL GetFieldID(JNIEnv* env, jclass cls, const char* name, const char* signature) {
  return fieldId(env, cls, name, signature, false, "GetFieldID");
}

jfieldID JNICALL GetStaticFieldID(JNIEnv* env, jclass cls, const char* name, const char* signature) {
  return fieldId(env, cls, name, signature, true, "GetStaticFieldID");
}

// The field `id` read as `type` from `object` (null for a static one of `cls`).
Value* fieldValue(Env& e, jobject object, jclass cls, jfieldID id, char type, const char* function) {
  auto* f = reinterpret_cast<Field*>(id);
  if (!f) {
    e.vm().violation(std::string(function) + ": null field ID");
    return nullptr;
  }
  if (f->signature[0] != type && !(type == 'L' && f->signature[0] == '[')) {
    e.vm().violation(std::string(function) + " of " + f->name + ", a field of type " + f->signature);
    return nullptr;
  }
  if (f->isStatic) {
    Class* c = classOf(e, cls, function);
    if (!c || !c->extends(f->owner)) e.vm().violation(std::string(function) + ": wrong class");
    return &f->staticValue;
  }
  Object* o = e.deref(object, function);
  if (!o || !o->cls->extends(f->owner)) {
    e.vm().violation(std::string(function) + " of " + f->name + " on an object of another class");
    return nullptr;
  }
  return &o->fields[f];
}

jint JNICALL GetIntField(JNIEnv* env, jobject object, jfieldID id) {
  Env& e = envOf(env);
  if (!e.enter("GetIntField")) return 0;
  Value* v = fieldValue(e, object, nullptr, id, 'I', "GetIntField");
  return v ? static_cast<jint>(v->j) : 0;
}

void JNICALL SetObjectField(JNIEnv* env, jobject object, jfieldID id, jobject value) {
  Env& e = envOf(env);
  if (!e.enter("SetObjectField")) return;
  Value* v = fieldValue(e, object, nullptr, id, 'L', "SetObjectField");
  if (!v) return;
  Object* o = e.deref(value, "SetObjectField");
  const std::string& signature = reinterpret_cast<Field*>(id)->signature;
  if (o && signature[0] == 'L') {
    Class* declared = e.vm().findClass(signature.substr(1, signature.size() - 2));
    if (declared && !o->cls->extends(declared)) {
      e.vm().violation("SetObjectField: a " + o->cls->name + " stored in a field of type " + signature);
      return;
    }
  }
  *v = Value::ofObject(o);
}

jobject JNICALL GetStaticObjectField(JNIEnv* env, jclass cls, jfieldID id) {
  Env& e = envOf(env);
  if (!e.enter("GetStaticObjectField")) return nullptr;
  Value* v = fieldValue(e, nullptr, cls, id, 'L', "GetStaticObjectField");
  return v ? e.local(v->l) : nullptr;
}

jboolean JNICALL GetStaticBooleanField(JNIEnv* env, jclass cls, jfieldID id) {
  Env& e = envOf(env);
  if (!e.enter("GetStaticBooleanField")) return JNI_FALSE;
  Value* v = fieldValue(e, nullptr, cls, id, 'Z', "GetStaticBooleanField");
  return v && v->j ? JNI_TRUE : JNI_FALSE;
}

// ---- Calls -------------------------------------------------------------------------------

// Reads the arguments of `m` from `next` (one per parameter, by its letter) and checks each
// reference against its declared class.
template <typename Next>
bool readArguments(Env& e, const Method& m, Next next, std::vector<Value>* args, const char* function) {
  for (const std::string& type : m.parameters) {
    Value v = next(type[0]);
    if (v.type == 'L') {
      Object* o = e.deref(reinterpret_cast<jobject>(v.l), function);
      v.l = o;
      if (o && type[0] == 'L') {
        Class* declared = e.vm().findClass(type.substr(1, type.size() - 2));
        if (declared && !o->cls->extends(declared)) {
          e.vm().violation(std::string(function) + " " + m.name + m.signature + ": a " + o->cls->name +
                           " passed for " + type);
          return false;
        }
      }
    }
    args->push_back(v);
  }
  return true;
}

Value fromVaList(char type, va_list& list) {
  switch (type) {
    case 'Z': case 'B': case 'C': case 'S': case 'I':
      return Value::ofInt(type, va_arg(list, int));
    case 'J':
      return Value::ofInt(type, va_arg(list, jlong));
    case 'F': case 'D':
      return Value::ofReal(type, va_arg(list, double));
    default:
      return Value::ofObject(reinterpret_cast<Object*>(va_arg(list, jobject)));
  }
}

Value fromJvalue(char type, const jvalue& v) {
  switch (type) {
    case 'Z': return Value::ofInt(type, v.z);
    case 'B': return Value::ofInt(type, v.b);
    case 'C': return Value::ofInt(type, v.c);
    case 'S': return Value::ofInt(type, v.s);
    case 'I': return Value::ofInt(type, v.i);
    case 'J': return Value::ofInt(type, v.j);
    case 'F': return Value::ofReal(type, v.f);
    case 'D': return Value::ofReal(type, v.d);
    default: return Value::ofObject(reinterpret_cast<Object*>(v.l));
  }
}

// Runs instance method `id` on `object`, checking that the call's result type is the
// method's. `args` fetches the arguments.
template <typename Args>
Value invoke(JNIEnv* env, jobject object, jmethodID id, char resultType, const char* function, Args args) {
  Env& e = envOf(env);
  if (!e.enter(function)) return Value::none();
  auto* m = reinterpret_cast<Method*>(id);
  if (!m) {
    e.vm().violation(std::string(function) + ": null method ID");
    return Value::none();
  }
  const char actual = m->result[0] == '[' ? 'L' : m->result[0];
  if (actual != resultType) {
    e.vm().violation(std::string(function) + " used for " + m->name + m->signature);
  }
  Object* self = e.deref(object, function);
  if (!self || !self->cls->extends(m->owner)) {
    e.vm().violation(std::string(function) + " " + m->name + " on " + (self ? self->cls->name : "null"));
    return Value::none();
  }
  std::vector<Value> values;
  if (!args(e, *m, &values)) return Value::none();
  return m->body(e, self, values);
}

// The V forms do the work (the C++ JNIEnv members forward their "..." to them); the "..."
// forms are there for C callers.
#define CALL_FORMS(Name, Type, Letter, Convert)                                                   \
  Type JNICALL Name##V(JNIEnv* env, jobject object, jmethodID id, va_list list) {               \
    va_list copy;                                                                               \
    va_copy(copy, list);                                                                        \
    Value r = invoke(env, object, id, Letter, #Name, [&copy](Env& e, const Method& m, std::vector<Value>* out) { \
      return readArguments(e, m, [&copy](char t) { return fromVaList(t, copy); }, out, #Name);  \
    });                                                                                         \
    va_end(copy);                                                                               \
    (void)r;                                                                                    \
    return Convert;                                                                             \
  }                                                                                             \
  Type JNICALL Name(JNIEnv* env, jobject object, jmethodID id, ...) {                           \
    va_list list;                                                                               \
    va_start(list, id);                                                                         \
    auto result = Name##V(env, object, id, list);                                               \
    va_end(list);                                                                               \
    return static_cast<Type>(result);                                                           \
  }

CALL_FORMS(CallBooleanMethod, jboolean, 'Z', static_cast<jboolean>(r.j ? JNI_TRUE : JNI_FALSE))
CALL_FORMS(CallByteMethod, jbyte, 'B', static_cast<jbyte>(r.j))
CALL_FORMS(CallShortMethod, jshort, 'S', static_cast<jshort>(r.j))
CALL_FORMS(CallIntMethod, jint, 'I', static_cast<jint>(r.j))
CALL_FORMS(CallLongMethod, jlong, 'J', r.j)
CALL_FORMS(CallFloatMethod, jfloat, 'F', static_cast<jfloat>(r.d))
CALL_FORMS(CallDoubleMethod, jdouble, 'D', r.d)
#undef CALL_FORMS

void JNICALL CallVoidMethodV(JNIEnv* env, jobject object, jmethodID id, va_list list) {
  va_list copy;
  va_copy(copy, list);
  invoke(env, object, id, 'V', "CallVoidMethod", [&copy](Env& e, const Method& m, std::vector<Value>* out) {
    return readArguments(e, m, [&copy](char t) { return fromVaList(t, copy); }, out, "CallVoidMethod");
  });
  va_end(copy);
}

void JNICALL CallVoidMethod(JNIEnv* env, jobject object, jmethodID id, ...) {
  va_list list;
  va_start(list, id);
  CallVoidMethodV(env, object, id, list);
  va_end(list);
}

jboolean JNICALL CallBooleanMethodA(JNIEnv* env, jobject object, jmethodID id, const jvalue* values) {
  size_t at = 0;
  Value r = invoke(env, object, id, 'Z', "CallBooleanMethodA",
                   [values, &at](Env& e, const Method& m, std::vector<Value>* out) {
                     return readArguments(e, m, [values, &at](char t) { return fromJvalue(t, values[at++]); }, out,
                                          "CallBooleanMethodA");
                   });
  return static_cast<jboolean>(r.j ? JNI_TRUE : JNI_FALSE);
}

void JNICALL CallVoidMethodA(JNIEnv* env, jobject object, jmethodID id, const jvalue* values) {
  size_t at = 0;
  invoke(env, object, id, 'V', "CallVoidMethodA", [values, &at](Env& e, const Method& m, std::vector<Value>* out) {
    return readArguments(e, m, [values, &at](char t) { return fromJvalue(t, values[at++]); }, out, "CallVoidMethodA");
  });
}

template <typename Args>
jobject construct(JNIEnv* env, jclass cls, jmethodID id, const char* function, Args args) {
  Env& e = envOf(env);
  if (!e.enter(function)) return nullptr;
  Class* c = classOf(e, cls, function);
  auto* m = reinterpret_cast<Method*>(id);
  if (!c || !m || m->name != "<init>" || m->owner != c) {
    e.vm().violation(std::string(function) + ": not a constructor of the class");
    return nullptr;
  }
  std::vector<Value> values;
  if (!args(e, *m, &values)) return nullptr;
  Object* object = e.vm().newObject(c);
  m->body(e, object, values);
  return e.pending() ? nullptr : e.local(object);
}

jobject JNICALL NewObjectV(JNIEnv* env, jclass cls, jmethodID id, va_list list) {
  va_list copy;
  va_copy(copy, list);
  jobject r = construct(env, cls, id, "NewObject", [&copy](Env& e, const Method& m, std::vector<Value>* out) {
    return readArguments(e, m, [&copy](char t) { return fromVaList(t, copy); }, out, "NewObject");
  });
  va_end(copy);
  return r;
}

jobject JNICALL NewObject(JNIEnv* env, jclass cls, jmethodID id, ...) {
  va_list list;
  va_start(list, id);
  jobject r = NewObjectV(env, cls, id, list);
  va_end(list);
  return r;
}

jobject JNICALL NewObjectA(JNIEnv* env, jclass cls, jmethodID id, const jvalue* values) {
  size_t at = 0;
  return construct(env, cls, id, "NewObjectA", [values, &at](Env& e, const Method& m, std::vector<Value>* out) {
    return readArguments(e, m, [values, &at](char t) { return fromJvalue(t, values[at++]); }, out, "NewObjectA");
  });
}

// ---- References --------------------------------------------------------------------------

jobject JNICALL NewGlobalRef(JNIEnv* env, jobject object) {
  Env& e = envOf(env);
  if (!e.enter("NewGlobalRef")) return nullptr;
  Object* o = e.deref(object, "NewGlobalRef");
  return o ? reinterpret_cast<jobject>(e.vm().newRef(o, true, nullptr, 0)) : nullptr;
}

jobject JNICALL NewLocalRef(JNIEnv* env, jobject object) {
  Env& e = envOf(env);
  if (!e.enter("NewLocalRef")) return nullptr;
  if (!object) return nullptr;
  Object* o = e.deref(object, "NewLocalRef");
  return o ? e.local(o) : nullptr;
}

void deleteRef(JNIEnv* env, jobject object, bool global, const char* function) {
  Env& e = envOf(env);
  e.enter(function, true);
  if (!object) return;
  Ref* ref = reinterpret_cast<Ref*>(object);
  if (!ref->live || ref->global != global) {
    e.vm().violation(std::string(function) + ": not a live " + (global ? "global" : "local") + " reference");
    return;
  }
  if (!global && ref->owner != &e) e.vm().violation(std::string(function) + ": a local reference of another thread");
  ref->live = false;
}

void JNICALL DeleteGlobalRef(JNIEnv* env, jobject object) { deleteRef(env, object, true, "DeleteGlobalRef"); }
void JNICALL DeleteLocalRef(JNIEnv* env, jobject object) { deleteRef(env, object, false, "DeleteLocalRef"); }

// ---- Exceptions --------------------------------------------------------------------------

jint JNICALL Throw(JNIEnv* env, jthrowable exception) {
  Env& e = envOf(env);
  if (!e.enter("Throw")) return JNI_ERR;
  Object* o = e.deref(exception, "Throw");
  if (!o || !o->cls->extends(e.vm().findClass("java/lang/Throwable"))) {
    e.vm().violation("Throw of something that is not a Throwable");
    return JNI_ERR;
  }
  e.setPending(o);
  return JNI_OK;
}

jint JNICALL ThrowNew(JNIEnv* env, jclass cls, const char* message) {
  Env& e = envOf(env);
  if (!e.enter("ThrowNew")) return JNI_ERR;
  Class* c = classOf(e, cls, "ThrowNew");
  if (!c || !c->extends(e.vm().findClass("java/lang/Throwable"))) {
    e.vm().violation("ThrowNew of a class that is not a Throwable");
    return JNI_ERR;
  }
  e.throwNew(c->name, message ? message : "");
  return JNI_OK;
}

jthrowable JNICALL ExceptionOccurred(JNIEnv* env) {
  Env& e = envOf(env);
  e.enter("ExceptionOccurred", true);
  return static_cast<jthrowable>(e.local(e.pending()));
}

void JNICALL ExceptionClear(JNIEnv* env) {
  Env& e = envOf(env);
  e.enter("ExceptionClear", true);
  e.setPending(nullptr);
}

jboolean JNICALL ExceptionCheck(JNIEnv* env) {
  Env& e = envOf(env);
  e.enter("ExceptionCheck", true);
  return e.pending() ? JNI_TRUE : JNI_FALSE;
}

// ---- Strings -----------------------------------------------------------------------------

jstring JNICALL NewString(JNIEnv* env, const jchar* chars, jsize length) {
  Env& e = envOf(env);
  if (!e.enter("NewString")) return nullptr;
  if (length < 0 || (!chars && length > 0)) {
    e.vm().violation("NewString with a negative length or no characters");
    return nullptr;
  }
  std::u16string text(reinterpret_cast<const char16_t*>(chars), static_cast<size_t>(length));
  return static_cast<jstring>(e.local(e.vm().newString(text)));
}

// Modified UTF-8: no four-byte forms (supplementary characters come as two three-byte
// surrogates) and no zero byte inside.
bool decodeModifiedUtf8(const char* utf, std::u16string* out) {
  const auto* p = reinterpret_cast<const unsigned char*>(utf);
  while (*p) {
    unsigned c = *p++;
    if (c < 0x80) {
      out->push_back(static_cast<char16_t>(c));
    } else if ((c & 0xE0) == 0xC0) {
      if ((*p & 0xC0) != 0x80) return false;
      out->push_back(static_cast<char16_t>(((c & 0x1F) << 6) | (*p++ & 0x3F)));
    } else if ((c & 0xF0) == 0xE0) {
      if ((p[0] & 0xC0) != 0x80 || (p[1] & 0xC0) != 0x80) return false;
      out->push_back(static_cast<char16_t>(((c & 0x0F) << 12) | ((p[0] & 0x3F) << 6) | (p[1] & 0x3F)));
      p += 2;
    } else {
      return false;
    }
  }
  return true;
}

jstring JNICALL NewStringUTF(JNIEnv* env, const char* utf) {
  Env& e = envOf(env);
  if (!e.enter("NewStringUTF")) return nullptr;
  if (!utf) return nullptr;
  std::u16string text;
  if (!decodeModifiedUtf8(utf, &text)) {
    e.vm().violation(std::string("NewStringUTF of text that is not modified UTF-8: ") + utf);
    return nullptr;
  }
  return static_cast<jstring>(e.local(e.vm().newString(text)));
}

// The object `ref` refers to when it is of class `className` (`what` names it), else null
// after a violation.
Object* objectOfClass(Env& e, jobject ref, const char* className, const char* what, const char* function) {
  Object* o = e.deref(ref, function);
  if (!o || o->cls != e.vm().findClass(className)) {
    e.vm().violation(std::string(function) + " of something that is not " + what);
    return nullptr;
  }
  return o;
}

Object* stringOf(Env& e, jstring s, const char* function) {
  return objectOfClass(e, s, "java/lang/String", "a String", function);
}

jsize JNICALL GetStringLength(JNIEnv* env, jstring s) {
  Env& e = envOf(env);
  if (!e.enter("GetStringLength")) return 0;
  Object* o = stringOf(e, s, "GetStringLength");
  return o ? static_cast<jsize>(o->text.size()) : 0;
}

const jchar* JNICALL GetStringChars(JNIEnv* env, jstring s, jboolean* isCopy) {
  Env& e = envOf(env);
  if (!e.enter("GetStringChars")) return nullptr;
  Object* o = stringOf(e, s, "GetStringChars");
  if (!o) return nullptr;
  auto* chars = new jchar[o->text.size() + 1];
  for (size_t i = 0; i < o->text.size(); ++i) chars[i] = o->text[i];
  chars[o->text.size()] = 0;
  if (isCopy) *isCopy = JNI_TRUE;
  e.vm().charsHandedOut(chars);
  return chars;
}

void JNICALL ReleaseStringChars(JNIEnv* env, jstring s, const jchar* chars) {
  Env& e = envOf(env);
  e.enter("ReleaseStringChars", true);
  stringOf(e, s, "ReleaseStringChars");
  if (!e.vm().charsReleased(chars)) {
    e.vm().violation("ReleaseStringChars of characters GetStringChars did not hand out");
    return;
  }
  delete[] chars;
}

// ---- Int arrays ----------------------------------------------------------------------------

Object* intArrayOf(Env& e, jarray array, const char* function) {
  return objectOfClass(e, array, "[I", "an int[]", function);
}

// A region within the array; anything else is a violation (the VM would throw).
bool inRange(Env& e, const Object* array, jsize start, jsize length, const void* buffer, const char* function) {
  if (start < 0 || length < 0 || static_cast<size_t>(start) + static_cast<size_t>(length) > array->ints.size() ||
      (length > 0 && !buffer)) {
    e.vm().violation(std::string(function) + " outside the array");
    return false;
  }
  return true;
}

jsize JNICALL GetArrayLength(JNIEnv* env, jarray array) {
  Env& e = envOf(env);
  if (!e.enter("GetArrayLength")) return 0;
  Object* o = intArrayOf(e, array, "GetArrayLength");
  return o ? static_cast<jsize>(o->ints.size()) : 0;
}

jintArray JNICALL NewIntArray(JNIEnv* env, jsize length) {
  Env& e = envOf(env);
  if (!e.enter("NewIntArray")) return nullptr;
  if (length < 0) {
    e.vm().violation("NewIntArray of a negative length");
    return nullptr;
  }
  return static_cast<jintArray>(e.local(e.vm().newIntArray(std::vector<jint>(static_cast<size_t>(length)))));
}

void JNICALL GetIntArrayRegion(JNIEnv* env, jintArray array, jsize start, jsize length, jint* buffer) {
  Env& e = envOf(env);
  if (!e.enter("GetIntArrayRegion")) return;
  Object* o = intArrayOf(e, array, "GetIntArrayRegion");
  if (!o || !inRange(e, o, start, length, buffer, "GetIntArrayRegion")) return;
  std::copy(o->ints.begin() + start, o->ints.begin() + start + length, buffer);
}

void JNICALL SetIntArrayRegion(JNIEnv* env, jintArray array, jsize start, jsize length, const jint* buffer) {
  Env& e = envOf(env);
  if (!e.enter("SetIntArrayRegion")) return;
  Object* o = intArrayOf(e, array, "SetIntArrayRegion");
  if (!o || !inRange(e, o, start, length, buffer, "SetIntArrayRegion")) return;
  std::copy(buffer, buffer + length, o->ints.begin() + start);
}

// ---- The invocation interface --------------------------------------------------------------

jint JNICALL GetEnv(JavaVM* vm, void** penv, jint version) {
  if (!penv) return JNI_ERR;
  *penv = nullptr;
  if (version != JNI_VERSION_1_2 && version != JNI_VERSION_1_4 && version != JNI_VERSION_1_6 &&
      version != JNI_VERSION_1_8) {
    return JNI_EVERSION;
  }
  Env* env = vmOf(vm).envOfThisThread();
  if (!env) return JNI_EDETACHED;
  *penv = static_cast<JNIEnv*>(env);
  return JNI_OK;
}

jint attachThread(JavaVM* vm, void** penv, bool daemon) {
  if (!penv) return JNI_ERR;
  *penv = static_cast<JNIEnv*>(vmOf(vm).attach(daemon));
  return JNI_OK;
}

jint JNICALL AttachCurrentThread(JavaVM* vm, void** penv, void*) { return attachThread(vm, penv, false); }
jint JNICALL AttachCurrentThreadAsDaemon(JavaVM* vm, void** penv, void*) { return attachThread(vm, penv, true); }
jint JNICALL DetachCurrentThread(JavaVM* vm) { return vmOf(vm).detach(); }
jint JNICALL DestroyJavaVM(JavaVM* vm) {
  vmOf(vm).violation("DestroyJavaVM called by the library");
  return JNI_ERR;
}

JNINativeInterface_ makeNativeInterface() {
  JNINativeInterface_ table{};
  fillUnsupported(reinterpret_cast<void**>(&table), std::make_index_sequence<kSlots>());
  table.reserved0 = table.reserved1 = table.reserved2 = table.reserved3 = nullptr;
  table.FindClass = FindClass;
  table.IsAssignableFrom = IsAssignableFrom;
  table.GetObjectClass = GetObjectClass;
  table.IsInstanceOf = IsInstanceOf;
  table.GetMethodID = GetMethodID;
  table.GetFieldID = GetFieldID;
  table.GetStaticFieldID = GetStaticFieldID;
  table.GetIntField = GetIntField;
  table.SetObjectField = SetObjectField;
  table.GetStaticObjectField = GetStaticObjectField;
  table.GetStaticBooleanField = GetStaticBooleanField;
  table.CallBooleanMethod = CallBooleanMethod;
  table.CallBooleanMethodV = CallBooleanMethodV;
  table.CallBooleanMethodA = CallBooleanMethodA;
  table.CallByteMethod = CallByteMethod;
  table.CallByteMethodV = CallByteMethodV;
  table.CallShortMethod = CallShortMethod;
  table.CallShortMethodV = CallShortMethodV;
  table.CallIntMethod = CallIntMethod;
  table.CallIntMethodV = CallIntMethodV;
  table.CallLongMethod = CallLongMethod;
  table.CallLongMethodV = CallLongMethodV;
  table.CallFloatMethod = CallFloatMethod;
  table.CallFloatMethodV = CallFloatMethodV;
  table.CallDoubleMethod = CallDoubleMethod;
  table.CallDoubleMethodV = CallDoubleMethodV;
  table.CallVoidMethod = CallVoidMethod;
  table.CallVoidMethodV = CallVoidMethodV;
  table.CallVoidMethodA = CallVoidMethodA;
  table.NewObject = NewObject;
  table.NewObjectV = NewObjectV;
  table.NewObjectA = NewObjectA;
  table.NewGlobalRef = NewGlobalRef;
  table.NewLocalRef = NewLocalRef;
  table.DeleteGlobalRef = DeleteGlobalRef;
  table.DeleteLocalRef = DeleteLocalRef;
  table.Throw = Throw;
  table.ThrowNew = ThrowNew;
  table.ExceptionOccurred = ExceptionOccurred;
  table.ExceptionClear = ExceptionClear;
  table.ExceptionCheck = ExceptionCheck;
  table.NewString = NewString;
  table.NewStringUTF = NewStringUTF;
  table.GetStringLength = GetStringLength;
  table.GetStringChars = GetStringChars;
  table.ReleaseStringChars = ReleaseStringChars;
  table.GetArrayLength = GetArrayLength;
  table.NewIntArray = NewIntArray;
  table.GetIntArrayRegion = GetIntArrayRegion;
  table.SetIntArrayRegion = SetIntArrayRegion;
  return table;
}

}  // namespace

const JNINativeInterface_* nativeInterface() {
  static const JNINativeInterface_ table = makeNativeInterface();
  return &table;
}

const JNIInvokeInterface_* invokeInterface() {
  // The invocation table is short and every slot is filled: its members in their order, after
  // the three reserved ones.
  static const JNIInvokeInterface_ table = {nullptr, nullptr, nullptr, DestroyJavaVM, AttachCurrentThread,
                                            DetachCurrentThread, GetEnv, AttachCurrentThreadAsDaemon};
  return &table;
}

}  // namespace fakejvm
