#pragma once
// The platform services one control instance uses. A null port behaves as a platform
// that lacks the service (no scanner, no PDF object, no registry...).
namespace folioray {

class Host;
class Clipboard;
class Scanner;
class Preview;
class JpegLibrary;
class Internet;
class ObjectFactory;
class Registry;
class Launcher;

struct Ports {
    Host* host = nullptr;
    Clipboard* clipboard = nullptr;
    Scanner* scanner = nullptr;
    Preview* preview = nullptr;
    JpegLibrary* jpeg = nullptr;
    Internet* internet = nullptr;
    ObjectFactory* objects = nullptr;
    Registry* registry = nullptr;
    Launcher* launcher = nullptr;  // starts other programs (System Information)
};

}  // namespace folioray
