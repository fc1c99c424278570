#include "server/methods/server_method_provider.h"

#include <algorithm>
#include <stdexcept>
#include <utility>

#include "vocabulary/client_text.h"
#include "vocabulary/dbx_error.h"
#include "vocabulary/dbx_limits.h"
#include "vocabulary/declared_type.h"
#include "server/methods/custom_admin.h"
#include "server/methods/provider_data_module.h"
#include "server/methods/provider_data_module_adapter.h"
#include "server/methods/server_connection_handler.h"
#include "server/methods/server_method.h"
#include "server/methods/sql_scanner.h"
#include "vocabulary/unicode_text.h"

namespace tavrin {

namespace {

std::string Formatted(std::string_view Pattern, std::string_view Value) {
  const std::size_t At = Pattern.find("%s");
  std::string Text(Pattern.substr(0, At));
  Text.append(Value);
  Text.append(Pattern.substr(At + 2));
  return Text;
}

// The class part of an alias: the class name after its last ".", if it has one.
std::string_view AliasClassName(std::string_view ClassName) {
  const std::size_t Dot = ClassName.rfind('.');
  return Dot == std::string_view::npos ? ClassName : ClassName.substr(Dot + 1);
}

bool IsValueHolderClass(const TDeclaredType& Type) {
  if (!Type.IsClass) return false;
  const TClassHierarchy& Classes = TClassHierarchy::BuiltIn();
  const std::string& Name = Type.ClassName.empty() ? Type.TypeName : Type.ClassName;
  const std::string_view Start = Type.ParentClassName.empty() ? std::string_view(Name) : Type.ParentClassName;
  return Name == TDBXValue::ClassName || Classes.DescendsFrom(Start, TDBXValue::ClassName);
}

// Whether the registry can call the method: no constructor or destructor, a result of
// none or a mapped type that is no value holder, every parameter of a mapped type, and
// no value holder passed var or out.
bool IsSupported(const TDSMethodDeclaration& Method) {
  if (Method.IsConstructor || Method.IsDestructor) return false;
  if (Method.Result) {
    if (!MapDeclaredResultType(*Method.Result, TTypeMappingMode::Tolerant).Supported()) return false;
    if (IsValueHolderClass(*Method.Result)) return false;
  }
  for (const TDSParameterDeclaration& Parameter : Method.Parameters) {
    const TDeclaredTypeMapping Mapping = MapDeclaredParameterType(Parameter.Type, TTypeMappingMode::Tolerant);
    if (!Mapping.Supported()) return false;
    if (Mapping.ValueParameter && (Parameter.Type.IsVar || Parameter.Type.IsOut)) return false;
  }
  return true;
}

}  // namespace

TDSServerMethodProvider::TDSServerMethodProvider(std::vector<const TDSClassDeclaration*> BuiltInClasses)
    : FBuiltInClasses(std::move(BuiltInClasses)),
      FServerInstanceProvider(std::make_unique<TDSHashtableInstanceProvider>(
          [this](const TDSClassInfo& Class, std::unique_ptr<TDSServerObject> Instance) {
            DestroyServerInstance(Class, std::move(Instance));
          })) {
  for (const TDSClassDeclaration* Class : FBuiltInClasses) {
    if (Class == nullptr) throw std::invalid_argument("A built-in class declaration is missing");
  }
}

TDSServerMethodProvider::~TDSServerMethodProvider() {
  try {
    Close();
  } catch (...) {
    // The instances are destroyed already; a destroy hook's failure has nobody to reach
    // while the server goes away.
  }
}

void TDSServerMethodProvider::AddServerClass(const TDSServerClass& ServerClass) {
  FServerClasses.push_back(&ServerClass);
}

// --- Building -------------------------------------------------------------------------------

void TDSServerMethodProvider::Open() {
  if (FOpen) return;
  try {
    Build();
  } catch (...) {
    FClasses.clear();
    FMethods.clear();
    FClassTable.clear();
    FMethodTable.clear();
    FClassList.clear();
    FMethodList.clear();
    throw;
  }
  FOpen = true;
}

void TDSServerMethodProvider::Build() {
  for (const TDSClassDeclaration* Declaration : FBuiltInClasses) {
    auto Class = std::make_unique<TDSClassInfo>();
    Class->ClassName = Declaration->ClassName;
    Class->UnitName = kBuiltInUnitName;
    Class->LifeCycle = TDSLifeCycles::kSession;
    Class->AdminClass = true;
    Class->Declaration = Declaration;
    RegisterClass(std::move(Class));
  }
  // The chain of the module bases, and each class as it is registered, so that a class
  // deriving from an earlier server class is recognised as a module too.
  TClassHierarchy Classes;
  Classes.Add(TDSProviderClassNames::kProviderDataModule, TDSProviderClassNames::kDataModule);
  Classes.Add(TDSProviderClassNames::kServerModuleBase, TDSProviderClassNames::kProviderDataModule);
  Classes.Add(TDSProviderClassNames::kServerModule, TDSProviderClassNames::kServerModuleBase);
  for (const TDSServerClass* Component : FServerClasses) {
    const TDSClassDeclaration* Declaration = Component->GetClass();
    if (Declaration == nullptr) throw TDBXError(TDBXErrorCodes::NoServerClass, TDSRegistryErrors::kNoClass);
    if (!Classes.Contains(Declaration->ClassName)) Classes.Add(Declaration->ClassName, Declaration->ParentClassName);
    auto Class = std::make_unique<TDSClassInfo>();
    Class->ClassName = Declaration->ClassName;
    Class->UnitName = Declaration->UnitName;
    Class->LifeCycle = Component->LifeCycle;
    Class->RoleName = Component->RoleName;
    Class->ServerClass = Component;
    if (!Declaration->ParentClassName.empty() &&
        Classes.DescendsFrom(Declaration->ParentClassName, TDSProviderClassNames::kProviderDataModule)) {
      Class->Declaration = &TDSProviderDataModuleAdapter::Declaration();
      Class->WrappedDeclaration = Declaration;
    } else {
      Class->Declaration = Declaration;
    }
    RegisterClass(std::move(Class));
  }
}

void TDSServerMethodProvider::RegisterClass(std::unique_ptr<TDSClassInfo> Class) {
  std::string Key = UpperAscii(Class->ClassName);
  if (FClassTable.contains(Key)) {
    throw TDBXError(TDBXErrorCodes::DuplicateClass,
                    Formatted(TDSRegistryErrors::kDuplicateClass, Class->ClassName));
  }
  const TDSClassInfo& Stored = *Class;
  FClassTable.emplace(std::move(Key), &Stored);
  FClassList.push_back(&Stored);
  FClasses.push_back(std::move(Class));
  if (Stored.WrappedDeclaration != nullptr) {
    for (const TDSMethodDeclaration& Method : Stored.WrappedDeclaration->Methods) {
      RegisterMethod(Stored, Method, true);
    }
  }
  for (const TDSMethodDeclaration& Method : Stored.Declaration->Methods) RegisterMethod(Stored, Method, false);
}

void TDSServerMethodProvider::RegisterMethod(const TDSClassInfo& Class, const TDSMethodDeclaration& Method,
                                             bool OfWrappedClass) {
  if (!IsSupported(Method)) return;
  auto Info = std::make_unique<TDSMethodInfo>();
  Info->MethodAlias = std::string(AliasClassName(Class.ClassName)) + "." + Method.Name;
  Info->MethodName = Method.Name;
  Info->RoleName = Class.RoleName;
  Info->SearchName = UpperAscii(Info->MethodAlias);
  Info->ClassInfo = &Class;
  Info->Declaration = &Method;
  Info->OfWrappedClass = OfWrappedClass;
  if (FMethodTable.contains(Info->SearchName)) {
    throw TDBXError(TDBXErrorCodes::DuplicateMethod,
                    Formatted(TDSRegistryErrors::kDuplicateMethod, Info->MethodAlias));
  }
  FLongestSearchName = std::max(FLongestSearchName, Info->SearchName.size());
  FMethodTable.emplace(Info->SearchName, Info.get());
  FMethodList.push_back(Info.get());
  FMethods.push_back(std::move(Info));
}

void TDSServerMethodProvider::Close() {
  // Connections are gone by now; what remains are the instances shared by all of them.
  struct TEmptyRegistry {
    TDSServerMethodProvider& Registry;
    ~TEmptyRegistry() {
      Registry.FOpen = false;
      Registry.FMethodTable.clear();
      Registry.FClassTable.clear();
      Registry.FMethodList.clear();
      Registry.FClassList.clear();
      Registry.FMethods.clear();
      Registry.FClasses.clear();
    }
  } EmptyRegistry{*this};
  FServerInstanceProvider->Clear();
}

void TDSServerMethodProvider::DestroyServerInstance(const TDSClassInfo& Class,
                                                    std::unique_ptr<TDSServerObject> Instance) {
  DestroyServerClassInstance(Class, std::move(Instance), FDestroyInstanceEventObject);
}

// --- Looking up -------------------------------------------------------------------------------

const TDSMethodInfo* TDSServerMethodProvider::Lookup(std::string_view Name) const {
  if (Name.size() > FLongestSearchName) return nullptr;
  const auto Found = FMethodTable.find(UpperAscii(Name));
  return Found == FMethodTable.end() ? nullptr : Found->second;
}

bool TDSServerMethodProvider::HasMethod(std::u16string_view MethodAlias) const {
  // Never shorter in UTF-8 than in code units: a longer text is no alias, and a long
  // one is not copied to learn it.
  if (MethodAlias.size() > FLongestSearchName) return false;
  return Lookup(ToUtf8(MethodAlias)) != nullptr;
}

const TDSClassInfo* TDSServerMethodProvider::FindClass(std::string_view ClassName) const {
  const auto Found = FClassTable.find(UpperAscii(ClassName));
  return Found == FClassTable.end() ? nullptr : Found->second;
}

const TDSMethodInfo* TDSServerMethodProvider::FindMethod(std::string_view MethodAlias) const {
  return Lookup(MethodAlias);
}

TDSServerMethodProvider::TFound TDSServerMethodProvider::FindForCommand(std::u16string_view CommandText,
                                                                        TDBXSqlScanner& Scanner) const {
  if (CommandText.size() <= FLongestSearchName) {
    if (const TDSMethodInfo* Method = Lookup(ToUtf8(CommandText))) return {Method, false};
  }
  // Not a bare alias: read the name with the tokenizer, up to the first token that is
  // neither a name nor a ".", which may open a list of literal parameters. What is kept
  // of a name is bounded: past the longest alias it is found nowhere, and an error
  // reply quotes less of it still.
  const std::size_t KeptUnits =
      std::max(FLongestSearchName, static_cast<std::size_t>(2 * limits::kMaxQuotedClientChars)) + 1;
  Scanner.Init(CommandText);
  Scanner.LimitSymbols(KeptUnits);
  std::u16string Name;
  TDBXSqlToken Token = Scanner.NextToken();
  for (; Token == TDBXSqlToken::Identifier || Token == TDBXSqlToken::Period; Token = Scanner.NextToken()) {
    if (Name.size() < KeptUnits) Name += Token == TDBXSqlToken::Period ? std::u16string(u".") : Scanner.Symbol();
  }
  Scanner.LimitSymbols(0);
  const std::string NameText = ToUtf8(Name);
  const TDSMethodInfo* Method = Lookup(NameText);
  if (Method == nullptr) {
    throw TDBXError(TDBXErrorCodes::MethodNotFound, Formatted(TDSRegistryErrors::kMethodNotFound, QuotedClientText(NameText)));
  }
  return {Method, Token == TDBXSqlToken::OpenParen};
}

void TDSServerMethodProvider::ReadLiterals(TDBXSqlScanner& Scanner, TDSServerMethod& Method) {
  std::size_t Ordinal = 0;
  for (;;) {
    const TDBXSqlToken Token = Scanner.NextToken();
    if (Token != TDBXSqlToken::Identifier && Token != TDBXSqlToken::Number) return;
    Method.SetLiteral(Ordinal++, Scanner.Symbol());
    if (Scanner.NextToken() != TDBXSqlToken::Comma) return;
  }
}

// --- Preparing ------------------------------------------------------------------------------

std::unique_ptr<IDSPreparedServerMethod> TDSServerMethodProvider::Prepare(std::u16string_view CommandText,
                                                                          TDSServerConnectionHandler& Connection,
                                                                          bool ServerSide) {
  TDBXSqlScanner& Scanner = Connection.GetSQLScanner();
  const TFound Found = FindForCommand(CommandText, Scanner);
  auto Method = std::make_unique<TDSServerMethod>(*this, *Found.Method, Connection, ServerSide);
  Method->ObtainInstance();
  Method->FirePrepareEvents();
  Method->BuildParameters();
  if (Found.LiteralsFollow) ReadLiterals(Scanner, *Method);
  return Method;
}

TDSObtainedInstance TDSServerMethodProvider::GetServerMethodInstance(TDSServerConnectionHandler& Connection,
                                                                     const TDSClassInfo& Class) {
  TDSObtainedInstance Obtained;
  const std::string& LifeCycle = Class.LifeCycle;
  if (LifeCycle.empty() || LifeCycle == TDSLifeCycles::kServer) {
    Obtained.Instance = &FServerInstanceProvider->GetInstance(Class, [&] { return Connection.CreateInstance(Class); });
  } else if (LifeCycle == TDSLifeCycles::kSession) {
    Obtained.Instance = &Connection.GetInstance(Class);
    if (Class.AdminClass) {
      if (auto* Admin = dynamic_cast<TDSCustomAdmin*>(Obtained.Instance)) Admin->SetConnectionHandler(&Connection);
    }
  } else if (LifeCycle == TDSLifeCycles::kInvocation) {
    Obtained.Owned = Connection.CreateInstance(Class);
    Obtained.Instance = Obtained.Owned.get();
  }
  if (Obtained.Instance == nullptr) {
    throw TDBXError(TDBXErrorCodes::UnknownLifeCycle, TDSLifeCycleErrors::kUnknown + LifeCycle);
  }
  return Obtained;
}

std::size_t TDSServerMethodProvider::ServerInstanceCount() const { return FServerInstanceProvider->Count(); }

}  // namespace tavrin
