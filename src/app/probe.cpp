#include "CatalogProbe.h"

int main(int argc, char **argv)
{
    return RunCatalogProbe(argc, argv);
}
