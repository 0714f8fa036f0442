#include <iostream>

int main() {
    std::cerr << "kanvio: the program entry is not built yet\n";
    return 1;
}
