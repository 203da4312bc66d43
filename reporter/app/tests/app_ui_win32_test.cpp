// The reporter's texts against the program's real resources.
#include "module_path.h"
#include "path_text.h"
#include "ui_text.h"
#include "ui_text_win32.h"
#include "unique_handle.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <string>

using namespace ostrel;

namespace {

std::wstring BinDir() {
    return FolderOfModulePath(GetRunningModulePath());
}

// Ostrel.exe's resources, loaded as data from beside this test.
CModule LoadProgramAsData() {
    return CModule(
        ::LoadLibraryExW((BinDir() + L"Ostrel.exe").c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE));
}

} // namespace

TEST(UiTextWin32, ProgramHoldsEveryTextInBothLanguages) {
    CModule program = LoadProgramAsData();
    ASSERT_TRUE(program) << GetLastError();
    CModuleStrings strings(program.get());
    struct Row {
        unsigned n;
        const wchar_t* french;
        const wchar_t* english;
    } rows[] = {
        {101, L"&A propos de Ostrel...", L"&About Ostrel..."},
        {102, L"&Lancer", L"&Scan"},
        {103, L"&Fermer", L"&Close"},
        {104, L"&A propos...", L"&About..."},
        {109, L"(les champs en rouge doivent \u00EAtre remplis)", L"(red fields must be filled) "},
        {110, L"Nom du technicien", L"Technician Name"},
        {111, L"Nom du client", L"Client Name"},
        {112, L"Description du probl\u00E8me", L"Problem description"},
        {113, L"Type de pi\u00E8ce \u00E0 main", L"Handpiece Type"},
        {114, L"Num\u00E9ro de s\u00E9rie", L"Handpiece Number"},
        {115, L"Type de dock", L"Docking Type"},
        {116, L"Num\u00E9ro de s\u00E9rie", L"Docking Number"},
        {117, L"Marque du g\u00E9n\u00E9rateur", L"X-Ray Generator Brand"},
        {118, L"Mod\u00E8le", L"Model"},
        {119, L"Type", L"Type"},
        {120, L"Logiciel de gestion", L"Practice Management Software"},
        {121, L"Autre logiciel d'imagerie", L"Other Imaging Software"},
        {122, L"D\u00E9tection mat\u00E9rielle", L"Hardware Detection"},
        {123, L"D\u00E9tection mat\u00E9rielle. Veuillez patienter...",
         L"Hardware detection. Please wait..."},
        {124, L"Aucun trouv\u00E9", L"None found"},
        {125, L"FICHE INCIDENT", L"INCIDENT SHEET"},
        {126,
         L"Pour poursuivre, vous devez imp\u00E9rativement fermer toutes vos applications "
         L"d\u2019imagerie.",
         L"You must close all imaging applications to continue."},
        {127, L"Fermez l'application \"Varnik Imaging\" avant de poursuivre.",
         L"Close \"Varnik Imaging.exe\" and choose \"OK\" to continue."},
        {128, L"Fermez l'application \"Kalder Digital\" avant de poursuivre",
         L"Close \"Kalder Digital.exe\" and choose \"OK\" to continue."},
        {129, L"Op\u00E9ration annul\u00E9e !", L"Operation aborted!"},
        {130, L"Type de cam\u00E9ra", L"Camera Type"},
        {131, L"Type voie de commande", L"Control Unit Type"},
        {133, L"Num\u00E9ro de cam\u00E9ra", L"Camera Number"},
        {134, L"Num. voie de commande", L"Control Unit Number"},
    };
    for (const auto& r : rows) {
        EXPECT_EQ(CUiText(strings, 0).Text(r.n), r.french) << r.n;
        EXPECT_EQ(CUiText(strings, 100).Text(r.n), r.english) << r.n;
    }
    // The unused numbers are not defined in either language.
    std::wstring text;
    for (unsigned n : {105u, 106u, 107u, 108u, 132u, 205u, 206u, 207u, 208u, 232u})
        EXPECT_FALSE(strings.LoadText(n, text)) << n;
}

