/* Machine-dependent JNI definitions for Windows (x86-64 and i386), used by the MinGW-w64
 * cross builds together with the JDK's own jni.h. The JDK installed on the build machine
 * carries only its host's version of this header. */
#ifndef VESTARO_JNI_MD_H
#define VESTARO_JNI_MD_H

#if defined(__i386__)
/* On i386 the Java VM looks natives up by their decorated stdcall names (_Name@argbytes).
 * MinGW's dllexport would add a second, differently decorated entry (Name@argbytes) for
 * each of them, so there the library's .def file alone writes the export table. */
#define JNIEXPORT
#else
#define JNIEXPORT __declspec(dllexport)
#endif
#define JNIIMPORT __declspec(dllimport)
/* Natives use the standard calling convention; on x86-64 it has no effect. */
#define JNICALL __stdcall

typedef int jint;
typedef long long jlong;
typedef signed char jbyte;

#endif
