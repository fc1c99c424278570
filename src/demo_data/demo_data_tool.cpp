// tavrin-demo-data FOLDER: makes FOLDER a demo data folder (demo_data.h).

#include <exception>
#include <iostream>

#include "demo_data/demo_data.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::cerr << "Usage: tavrin-demo-data FOLDER\n"
                 "Makes FOLDER a demo data folder: the product's marker file and a database\n"
                 "with demo users and products. A database file made otherwise is left alone.\n";
    return 2;
  }
  try {
    tavrin::CreateDemoData(argv[1]);
  } catch (const std::exception& e) {
    std::cerr << "tavrin-demo-data: " << e.what() << "\n";
    return 1;
  }
  std::cout << "Demo data folder ready: " << argv[1] << "\n";
  return 0;
}
