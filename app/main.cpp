#include "app/Application.h"
#include "app/QtDialogs.h"
#include "app/Unit1.h"

int main(int argc, char** argv) {
  // Made first so that it outlives the application, whose notify uses it.
  quorvale::QtDialogs dialogs;
  quorvale::Application app(argc, argv);
  app.SetDialogs(&dialogs);
  return quorvale::RunProgram(app, [&dialogs] {
    auto form = std::make_unique<quorvale::TForm1>(dialogs);
    dialogs.SetOwner(form.get());
    return form;
  });
}
