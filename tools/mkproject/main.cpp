// Placeholder until the generator lands: reports that it cannot write projects yet.
#include <iostream>

int main() {
    std::cerr << "kanvio-mkproject: the project generator is not built yet\n";
    return 1;
}
