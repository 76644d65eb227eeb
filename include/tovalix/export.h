/* TOVALIX_EXPORT marks what the library offers its hosts: the C interface and the public C++
 * classes. A shared build exports these alone (everything else is hidden); a host of the
 * shared library on Windows sees TOVALIX_SHARED from the package and imports them. */
#ifndef TOVALIX_EXPORT_H
#define TOVALIX_EXPORT_H

#if defined(_WIN32) || defined(__CYGWIN__)
#if defined(TOVALIX_SHARED) && defined(TOVALIX_BUILDING)
#define TOVALIX_EXPORT __declspec(dllexport)
#elif defined(TOVALIX_SHARED)
#define TOVALIX_EXPORT __declspec(dllimport)
#else
#define TOVALIX_EXPORT
#endif
#elif defined(__GNUC__) || defined(__clang__)
#define TOVALIX_EXPORT __attribute__((visibility("default")))
#else
#define TOVALIX_EXPORT
#endif

#endif /* TOVALIX_EXPORT_H */
